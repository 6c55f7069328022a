#include "XDisplay.h"

#include <QStandardPaths>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

namespace kavenra::testing {
namespace {

constexpr int kServerStartMs = 30000;

// xcb replies are malloc'ed; this frees them.
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name,
                    xcb_atom_t type) {
    if (name == XCB_ATOM_NONE) return {};
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, type, 0, 1024), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// The key code whose first symbols include `keysym`, or 0.
xcb_keycode_t keyCodeOf(xcb_connection_t* connection, quint32 keysym) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const Reply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, uint8_t(count)),
        nullptr));
    if (!reply) return 0;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int perCode = reply->keysyms_per_keycode;
    for (int code = 0; code < count; ++code) {
        // Unshifted and shifted symbols of the code's first group.
        for (int level = 0; level < qMin(perCode, 2); ++level) {
            if (symbols[code * perCode + level] == keysym)
                return xcb_keycode_t(setup->min_keycode + code);
        }
    }
    return 0;
}

}  // namespace

XvfbServer::~XvfbServer() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(kServerStartMs)) {
        process_.kill();
        process_.waitForFinished(kServerStartMs);
    }
}

bool XvfbServer::Available() {
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

bool XvfbServer::start(const QSize& size, QString* error) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        *error = QStringLiteral("no Xvfb on the search path");
        return false;
    }
    // -displayfd: the server takes the first free display number and writes it, once it accepts
    // clients, to that descriptor (here its standard output).
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                             QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                             QStringLiteral("-br"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!process_.waitForStarted(kServerStartMs)) {
        *error = QStringLiteral("Xvfb does not start: ") + process_.errorString();
        return false;
    }
    QByteArray output;
    while (!output.contains('\n')) {
        if (!process_.waitForReadyRead(kServerStartMs)) {
            *error = QStringLiteral("Xvfb reports no display: ") +
                     QString::fromLocal8Bit(process_.readAllStandardError());
            return false;
        }
        output += process_.readAllStandardOutput();
    }
    bool number = false;
    const int display = output.trimmed().toInt(&number);
    if (!number) {
        *error = QStringLiteral("Xvfb reports \"%1\"").arg(QString::fromLocal8Bit(output));
        return false;
    }
    display_ = QStringLiteral(":%1").arg(display);
    return true;
}

XConnection::XConnection(const QString& display) {
    int screenNumber = 0;
    connection_ = xcb_connect(display.toLocal8Bit().constData(), &screenNumber);
    if (xcb_connection_has_error(connection_)) return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) return;
    root_ = screens.data->root;
    rootDepth_ = screens.data->root_depth;
    screenSize_ = QSize(screens.data->width_in_pixels, screens.data->height_in_pixels);
}

XConnection::~XConnection() {
    if (connection_) xcb_disconnect(connection_);
}

bool XConnection::isValid() const {
    return connection_ && !xcb_connection_has_error(connection_) && root_ != 0;
}

QSize XConnection::screenSize() const {
    return screenSize_;
}

QList<XWindowInfo> XConnection::topLevelWindows() const {
    QList<XWindowInfo> windows;
    if (!isValid()) return windows;
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    if (!tree) return windows;
    const xcb_atom_t netName = internAtom(connection_, "_NET_WM_NAME");
    const xcb_atom_t utf8 = internAtom(connection_, "UTF8_STRING");
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t id = children[i];
        const Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, id), nullptr));
        const Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, id), nullptr));
        // Gone since the tree was read.
        if (!attributes || !geometry) continue;
        XWindowInfo window;
        window.id = id;
        window.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        // A child of the root: its position is in root coordinates, outside its border.
        window.geometry =
            QRect(geometry->x + geometry->border_width, geometry->y + geometry->border_width,
                  geometry->width, geometry->height);
        QByteArray title = property(connection_, id, netName, utf8);
        if (title.isEmpty()) title = property(connection_, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        window.title = QString::fromUtf8(title);
        const QByteArray wmClass = property(connection_, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        window.instance = QString::fromLatin1(wmClass.left(wmClass.indexOf('\0')));
        window.transient =
            !property(connection_, id, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW).isEmpty();
        windows << window;
    }
    return windows;
}

bool XConnection::typeKeys(quint32 window, const QList<quint32>& keysyms) {
    if (!isValid()) return false;
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection_, &xcb_test_id);
    if (!xtest || !xtest->present) return false;
    QList<xcb_keycode_t> codes;
    for (const quint32 keysym : keysyms) {
        const xcb_keycode_t code = keyCodeOf(connection_, keysym);
        if (code == 0) return false;
        codes << code;
    }
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    for (const xcb_keycode_t code : codes) {
        xcb_test_fake_input(connection_, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(connection_, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
    }
    // A round trip: the server has taken every request once the answer is here.
    const Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    return focus != nullptr;
}

QImage XConnection::grabScreen() const {
    if (!isValid() || rootDepth_ != 24) return {};
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    int bitsPerPixel = 0;
    for (xcb_format_iterator_t formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
         xcb_format_next(&formats)) {
        if (formats.data->depth == rootDepth_) bitsPerPixel = formats.data->bits_per_pixel;
    }
    const bool serverLittleEndian = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (bitsPerPixel != 32 || serverLittleEndian != (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)) return {};
    const Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0,
                      uint16_t(screenSize_.width()), uint16_t(screenSize_.height()), ~0u),
        nullptr));
    const qsizetype bytes = qsizetype(screenSize_.width()) * screenSize_.height() * 4;
    if (!reply || xcb_get_image_data_length(reply.get()) < bytes) return {};
    // 0x00RRGGBB words in the host's order: Qt's RGB32. The copy owns its pixels.
    return QImage(xcb_get_image_data(reply.get()), screenSize_.width(), screenSize_.height(),
                  screenSize_.width() * 4, QImage::Format_RGB32)
        .copy();
}

}  // namespace kavenra::testing
