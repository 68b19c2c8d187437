#include "sources/ks/ks_filter_walk.h"

#include "sources/ks/ks_property.h"

void askKsFilter(DriverJob* walkJob, void* data) {
    KsFilterJob* job = static_cast<KsFilterJob*>(data);
    // Recording pins first, then playback pins, as the pass lists them.
    const Direction order[] = {DIRECTION_RECORDING, DIRECTION_PLAYBACK};
    for (const Direction direction : order) {
        if (job->wanted[direction] && !job->silent) {
            const OpenKsFilter opened(job->path, job->name, walkJob);
            if (KsFilter* filter = opened.get()) {
                job->listed[direction] =
                    collectStreamingPins(filter, direction) == PINS_COLLECTED && filter->pinCount > 0;
                if (filter->silent) job->silent = true;
            }
        }
        // A direction walked to its end, its filter closed, counts even if the filter then holds
        // a call of the other one past its deadline.
        if (!job->silent) driverJobStep(walkJob);
    }
}
