// Signal dispositions that the program's own file and process handling relies on, whatever its parent left.
#pragma once

namespace ProcessSignals {

// SIGCHLD at its default, so that the programs this one starts can be waited for and their status read;
// SIGXFSZ ignored, so that a write beyond the file size limit fails with EFBIG and is rolled back instead of
// ending the program half-way through a record. Called first thing by every program of the project.
void setUp();

} // namespace ProcessSignals
