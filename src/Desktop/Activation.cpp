#include "Desktop/Activation.h"

#include <QRegularExpression>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstring>

QString Activation::callerToken()
{
    const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    return startupId.isEmpty() ? qEnvironmentVariable("XDG_ACTIVATION_TOKEN") : startupId;
}

void Activation::forgetCaller()
{
    for (const char *name : {"DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN",
                             "GIO_LAUNCHED_DESKTOP_FILE", "GIO_LAUNCHED_DESKTOP_FILE_PID"})
        qunsetenv(name);
}

Activation::Request Activation::fromCaller(const QString &token)
{
    Request request;
    request.token = token;
    if (QX11Info::isPlatformX11())
        request.userTime = QX11Info::getTimestamp();
    return request;
}

void Activation::prepare(const Request &request)
{
    if (!QX11Info::isPlatformX11())
        return;
    quint32 userTime = request.userTime;
    static const QRegularExpression time(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch match = time.match(request.token);
    if (!userTime && match.hasMatch())
        userTime = match.captured(1).toUInt();
    // Qt stamps the activation request and the next mapped window with these.
    if (userTime) {
        QX11Info::setAppTime(userTime);
        QX11Info::setAppUserTime(userTime);
    }
    if (!request.token.isEmpty())
        QX11Info::setNextStartupId(request.token.toUtf8());
}

std::optional<quint32> Activation::activeWindow()
{
    if (!QX11Info::isPlatformX11())
        return std::nullopt;
    xcb_connection_t *connection = QX11Info::connection();
    static const xcb_atom_t active = [connection] {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }();
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, QX11Info::appRootWindow(), active, XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    std::optional<quint32> window;
    if (reply && xcb_get_property_value_length(reply) == 4)
        window = *static_cast<quint32 *>(xcb_get_property_value(reply));
    free(reply);
    return window;
}

void Activation::end(const QString &token)
{
    if (token.isEmpty() || !QX11Info::isPlatformX11())
        return;
    // The startup notification protocol: a text message, its value quoted where it holds a
    // space, a quote or a backslash, sent in pieces of 20 bytes to the root window.
    QString value = token;
    if (value.contains(QRegularExpression(QStringLiteral("[ \"\\\\]"))))
        value = QLatin1Char('"') +
                value.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                    .replace(QLatin1Char('"'), QLatin1String("\\\"")) +
                QLatin1Char('"');
    const QByteArray message = QStringLiteral("remove: ID=%1").arg(value).toUtf8() + '\0';
    xcb_connection_t *connection = QX11Info::connection();
    const auto atom = [connection](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    };
    const xcb_atom_t begin = atom("_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom("_NET_STARTUP_INFO");
    // Sent from a window of its own, as the protocol asks.
    const xcb_window_t sender = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, sender, QX11Info::appRootWindow(), -1, -1,
                      1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    for (int offset = 0; offset < message.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = offset == 0 ? begin : more;
        memcpy(event.data.data8, message.constData() + offset,
               size_t(qMin(20, int(message.size()) - offset)));
        xcb_send_event(connection, 0, QX11Info::appRootWindow(), XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char *>(&event));
    }
    xcb_destroy_window(connection, sender);
    xcb_flush(connection);
}
