#pragma once

// Every entry point from the event loop or from a host (slot, timer tick, property call) runs
// its body through guarded(): an error ends that body, is written as one log line, and the
// program goes on. Nothing escapes into Qt's event loop or across a library boundary.

#include "runtime/RuntimeError.h"

#include <QLoggingCategory>
#include <exception>
#include <utility>

namespace platform {

// `category` is a logging category function as Q_LOGGING_CATEGORY defines one.
template <typename Body>
bool guarded(const QLoggingCategory& (*category)(), const char* where, Body&& body) noexcept
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const RuntimeError& error) {
        qCWarning(category).noquote()
            << where << "ended by error" << int(error.number()) << error.description();
    } catch (const std::exception& error) {
        qCWarning(category).noquote() << where << "ended by error:" << error.what();
    } catch (...) {
        qCWarning(category).noquote() << where << "ended by an unknown error";
    }
    return false;
}

} // namespace platform
