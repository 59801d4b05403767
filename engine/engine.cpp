#include "engine/engine.h"

#include <algorithm>
#include <thread>

namespace quarvel {

Engine::Engine()
    : fit_threads(static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u,
                                              static_cast<unsigned>(kMaxFitThreads)))) {
  set_default_parameters(parameters);
}

}  // namespace quarvel
