#pragma once

// What the running instance and the processes that hand a command over to it agree on, in
// plain C++: the starter beside the program uses it without Qt.
//
// The lock and the socket lie in a folder of the user's alone, so that no other user can take
// their names first, listen in the instance's place or keep it from listening. Each end also
// checks that the other runs as the same user.
#include <string>

namespace HandOver {

// The acknowledgement byte the instance answers a delivered message with.
constexpr char acknowledgement = '\x06';
// A message is a QDataStream'd QString: a 32-bit length in bytes, then UTF-16. Ours are a
// command, a startup identifier and a time; anything claiming more is no message of ours.
constexpr unsigned maximumMessageBytes = 4096;

// "<runtime folder>/<id>-<uid>": the runtime folder is $XDG_RUNTIME_DIR when that is a folder
// of this user's alone, else the user's cache folder ($XDG_CACHE_HOME, else ~/.cache) when no
// one else may write there, else the temporary folder ($TMPDIR, else /tmp). With create, a missing
// folder is made, private. Empty when the folder is missing (and not made) or is not this user's
// alone: another owner, access for others, a link; then problem (when given) says why, in the
// words of the log.
std::string folder(const std::string &id, bool create, std::string *problem = nullptr);

// Whether the process at the other end of the connected local socket fd runs as this user.
bool isSameUser(int fd);

} // namespace HandOver
