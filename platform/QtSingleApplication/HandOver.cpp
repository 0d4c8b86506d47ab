#include "HandOver.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool isOwnFolder(const std::string &path, bool allowOthersToRead)
{
    struct stat info
    {
    };
    return !path.empty() && path.front() == '/' && stat(path.c_str(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
           !(info.st_mode & (allowOthersToRead ? (S_IWGRP | S_IWOTH) : (S_IRWXG | S_IRWXO)));
}

// Best first: the session's runtime folder; without one, the user's cache folder, as GLib does,
// where no other user can make our folder first; the shared temporary folder only when that is
// missing too. A runtime folder of another user's comes with a "su" that kept the caller's
// environment.
std::string runtimeFolder(bool create)
{
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (isOwnFolder(runtime, false))
        return runtime;
    std::string cache = environment("XDG_CACHE_HOME");
    if (cache.empty() || cache.front() != '/') {
        const std::string home = environment("HOME");
        cache = home.empty() || home.front() != '/' ? std::string() : home + "/.cache";
    }
    if (create && !cache.empty())
        mkdir(cache.c_str(), 0700);
    // Room for "/<id>-<uid>/socket" in a socket address.
    if (cache.size() < 64 && isOwnFolder(cache, true))
        return cache;
    std::string temporary = environment("TMPDIR");
    while (temporary.size() > 1 && temporary.back() == '/')
        temporary.pop_back();
    return temporary.empty() ? "/tmp" : temporary;
}
} // namespace

std::string HandOver::folder(const std::string &id, bool create, std::string *problem)
{
    const std::string path = runtimeFolder(create) + '/' + id + '-' + std::to_string(geteuid());
    const auto refuse = [&path, problem](const std::string &why) {
        if (problem)
            *problem = path + ": " + why;
        return std::string();
    };
    if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return refuse(std::strerror(errno));
    // Not followed: a link could lead anywhere, a folder of another user's included.
    struct stat info
    {
    };
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT && !create ? std::string() : refuse(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return refuse("不是文件夹");
    if (info.st_uid != geteuid())
        return refuse("属于其他用户 (uid " + std::to_string(info.st_uid) + ")");
    if (info.st_mode & (S_IRWXG | S_IRWXO))
        return refuse("其他用户也可以访问");
    return path;
}

bool HandOver::isSameUser(int fd)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && length == sizeof peer &&
           peer.uid == geteuid();
}
