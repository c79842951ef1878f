#pragma once
// Texts of the change notification layer.
namespace corvane::platform::texts {

// Written once to standard error, the first time a folder cannot be watched for a system limit.
inline constexpr const char* WatchLimitNote =
    "Corvane: the system's limit on watched folders is reached; some windows will not refresh "
    "by themselves (press F5). Raise fs.inotify.max_user_watches or fs.inotify.max_user_instances to lift it.";

} // namespace corvane::platform::texts
