// Planted by the layer test: the application reaching down to the shared pieces.
#include "app/app_state.h"
#include "base/device_record.h"
