#include "support/driver_jobs.h"

void runDriverJobs(const DriverJobs& jobs) {
    DriverWalk walk(jobs.maxJobs, jobs.maxDataBytes);
    jobs.add(&walk, jobs.context);
    walk.run();
    jobs.take(walk, jobs.context);
}

void askDriverVersions(const GUID* interfaceGuids, uint32_t count, DriverVersionAnswer* answers) {
    DriverVersionJobs versions = {interfaceGuids, count, answers, 0, 0};
    runDriverJobs(driverVersionJobs(&versions));
}

const DriverVersionAnswer* askCatalogVersions(CatalogVersions* versions) {
    runDriverJobs(catalogVersionJobs(versions));
    return versions->answers;
}
