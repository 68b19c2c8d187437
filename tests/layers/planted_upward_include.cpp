// Planted by the layer test: the shared pieces reaching up into the application.
#include "base/device_record.h"
#include "app/app_state.h"
