#include "engine.h"

namespace quarvel {

Engine::Engine() { set_default_parameters(parameters); }

}  // namespace quarvel
