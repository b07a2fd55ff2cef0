// Creation of the engine manager, which composes the engine's services (interface in
// engine/IKeManager.h, so that lower modules can reach the services through it).
#pragma once

#include "engine/IKeManager.h"

namespace kolm {

// The engine manager for a device, or null when a service cannot start (the render services'
// copy shader). The services are created in the order shader services, render services,
// texture manager, scene-manager extension, surface manager, renderer manager, video driver
// extension, effect manager, resource manager, and destroyed in the reverse order. One
// reference, held by the caller.
IKeManager* createKeManager(irr::IrrlichtDevice* device);

// The device's logger, stored by createKeManager (null before).
irr::ILogger* keEngineLogger();

}  // namespace kolm
