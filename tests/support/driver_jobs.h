// Drivers asked outside a collection pass, for tests of the version requests and of runs over
// lists no pass made: the jobs on a walk of their own, run by the calling thread's walk, which
// itself makes no call into a driver (the checker asks them in its collection pass).
#pragma once

#include "base/driver_walk.h"
#include "checks/driver_checks.h"
#include "checks/driver_control.h"

// Adds the jobs to a walk of their own, runs it and hands the answers over.
void runDriverJobs(const DriverJobs& jobs);
void askDriverVersions(const GUID* interfaceGuids, uint32_t count, DriverVersionAnswer* answers);
// The catalogue's version answers, asked now.
const DriverVersionAnswer* askCatalogVersions(CatalogVersions* versions);
