#pragma once

// The outcome of a run without a window, told in the desktop's notification bubble: a message to
// org.freedesktop.Notifications on the user's session bus. Nothing here needs a display or Qt
// Widgets, and nothing waits on the desktop for longer than kNotificationTimeoutMs: a missing or
// hung notification service must not hold up the end of a run.

#include <QString>

namespace kavenra::app {

inline constexpr char kNotificationIcon[] = "org.kavenra.Kavenra";
inline constexpr int kNotificationTimeoutMs = 2000;

// The urgency levels of the notification protocol, with its byte values.
enum class NotificationUrgency { Low = 0, Normal = 1, Critical = 2 };

struct DesktopNotice {
    QString summary;
    QString body;
    NotificationUrgency urgency = NotificationUrgency::Normal;
    QString icon = QString::fromLatin1(kNotificationIcon);
};

enum class NotificationOutcome {
    Shown,                  // the service took it
    NoSessionBus,           // no session bus named, or none answering at its address
    NoNotificationService,  // the bus has no org.freedesktop.Notifications
    ErrorReply,             // the service refused it
    NoReply,                // the service did not answer in time
};

struct NotificationResult {
    NotificationOutcome outcome = NotificationOutcome::NoSessionBus;
    QString detail;  // the bus's or the service's words when it failed
    quint32 id = 0;  // the service's number for the notification when it was shown

    bool shown() const { return outcome == NotificationOutcome::Shown; }
};

// The session bus's address: DBUS_SESSION_BUS_ADDRESS, or else the per-user bus socket under
// XDG_RUNTIME_DIR that systemd and dbus-broker set up; empty when there is neither.
QString SessionBusAddress();

// Sends `notice` and waits for the service's answer, at most kNotificationTimeoutMs. Call it with a
// QCoreApplication in place, as QtDBus expects.
NotificationResult SendDesktopNotification(const DesktopNotice& notice);

}  // namespace kavenra::app
