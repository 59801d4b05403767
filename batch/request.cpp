#include "batch/request.h"

#include "engine/dataset.h"
#include "engine/parameters.h"

namespace quarvel::batch {

Failure bad_setting(std::string_view option, const std::string& message) {
  return {FailureKind::bad_setting, std::string(option) + ": " + message};
}

std::optional<Failure> check_settings(const RunRequest& request) {
  RunParameters scratch{};
  set_default_parameters(scratch);
  DataSet scratch_data;
  const runs::StartOutcome outcome =
      runs::transfer_settings(request.settings, scratch, scratch_data);
  if (outcome.error == runs::StartError::none) return std::nullopt;
  return start_failure(outcome, request);
}

const std::string& data_path(const RunRequest& request, std::string_view role) {
  if (request.data) return request.data->path;
  return role == "validation" ? request.validation : request.training;
}

std::string data_file_name(const RunRequest& request, std::string_view role) {
  return (request.data ? std::string("data") : std::string(role)) + " file \"" +
         data_path(request, role) + "\"";
}

Failure start_failure(const runs::StartOutcome& outcome, const RunRequest& request) {
  using runs::StartError;
  switch (outcome.error) {
    case StartError::training_invalid:
      return {FailureKind::data_problem,
              data_file_name(request, "training") + ": " + outcome.message};
    case StartError::validation_invalid:
      return {FailureKind::data_problem,
              data_file_name(request, "validation") + ": " + outcome.message};
    case StartError::too_many_values:
    case StartError::constant_series:
    case StartError::non_finite_series:
      return {FailureKind::data_problem,
              (request.data ? data_file_name(request, "")
                            : data_file_name(request, "training") + " and " +
                                  data_file_name(request, "validation")) +
                  ": " + outcome.message};
    case StartError::overselect_too_small:
      return bad_setting("--population-size", outcome.message + " (population " +
                                                  std::to_string(outcome.population) +
                                                  " uses --selection overselect)");
    case StartError::elite_too_large:
    case StartError::unreadable_setting:
    case StartError::none:
      break;
  }
  const std::string_view option =
      outcome.setting ? runs::setting_info(*outcome.setting).option : "--settings";
  return bad_setting(option, outcome.message);
}

}  // namespace quarvel::batch
