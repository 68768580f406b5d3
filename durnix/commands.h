#pragma once

namespace durnix {

// durnix ls <device> <offset> <cardFolder>
// durnix read <device> <offset> <cardPath> <localPath>
// Exit status: 0 done, 1 usage, 2 refused (device, offset or path), 3 the card could not be
// read, 4 the local file could not be written, 5 listed, but damaged entries were left out.
int run(int argc, char **argv);

} // namespace durnix
