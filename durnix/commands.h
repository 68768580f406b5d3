#pragma once

namespace durnix {

// durnix ls <raw> <offset> <cardFolder>
// durnix read <raw> <offset> <cardPath> <localPath>
// Exit status: 0 done, 1 usage, 2 refused (device or path), 3 the card could not be read,
// 4 the local file could not be written.
int run(int argc, char **argv);

} // namespace durnix
