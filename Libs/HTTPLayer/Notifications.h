#pragma once
// The names of the task notifications and of their user-info keys.
//
// Resume, suspend and cancel are posted by the request (object: the request); completion by the
// session delegate (object: the session delegate). All go to core::NotificationCenter's default
// centre, synchronously on the posting thread.

#include <string_view>

namespace http::Notification {

namespace Name::Task {
inline constexpr std::string_view DidResume = "org.httplayer.notification.name.task.didResume";
inline constexpr std::string_view DidSuspend = "org.httplayer.notification.name.task.didSuspend";
inline constexpr std::string_view DidCancel = "org.httplayer.notification.name.task.didCancel";
inline constexpr std::string_view DidComplete = "org.httplayer.notification.name.task.didComplete";
} // namespace Name::Task

namespace Key {
// The URL session task (a net::URLSessionTask object).
inline constexpr std::string_view Task = "org.httplayer.notification.key.task";
// The body a data task collected (bytes).
inline constexpr std::string_view ResponseData = "org.httplayer.notification.key.responseData";
} // namespace Key

} // namespace http::Notification
