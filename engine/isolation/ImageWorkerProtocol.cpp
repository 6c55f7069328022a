#include "engine/isolation/ImageWorkerProtocol.h"

#include <array>

#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>
#include <cstring>

namespace kavenra::worker {

MessageWriter::MessageWriter(MessageKind kind) {
    bytes_.push_back(static_cast<unsigned char>(kind));
}

void MessageWriter::append(const void* data, std::size_t size) {
    const auto* first = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), first, first + size);
}

MessageWriter& MessageWriter::u8(std::uint8_t value) {
    append(&value, sizeof value);
    return *this;
}

MessageWriter& MessageWriter::u32(std::uint32_t value) {
    append(&value, sizeof value);
    return *this;
}

MessageWriter& MessageWriter::i32(std::int32_t value) {
    append(&value, sizeof value);
    return *this;
}

MessageWriter& MessageWriter::u64(std::uint64_t value) {
    append(&value, sizeof value);
    return *this;
}

MessageWriter& MessageWriter::text(const std::string& value) {
    u32(static_cast<std::uint32_t>(value.size()));
    append(value.data(), value.size());
    return *this;
}

MessageWriter& MessageWriter::context(const JobContext& value) {
    return text(value.workingDirectory)
        .u32(value.umask)
        .u64(value.fileSizeLimit)
        .u32(value.timeLimitMs);
}

MessageWriter& MessageWriter::job(const ConversionJob& value) {
    const ConversionRequest& request = value.request;
    const FormatOptions& codes = value.settings.codes;
    return text(request.source)
        .text(request.destination)
        .u8(static_cast<std::uint8_t>(request.mode))
        .i32(request.width)
        .i32(request.height)
        .i32(request.longestSide)
        .u8(request.noEnlarge ? 1 : 0)
        .u8(request.fitWithin ? 1 : 0)
        .i32(codes.filtro_redimension)
        .i32(codes.jpeg)
        .i32(codes.png)
        .i32(codes.bmp)
        .i32(codes.tga)
        .i32(codes.tif)
        .i32(codes.guardar_como)
        .i32(codes.webp)
        .i32(codes.webp_sin_perdida)
        .i32(codes.decodificacion_rapida)
        .i32(codes.no_ampliar)
        .i32(codes.ajustar_dentro)
        .i32(codes.incluir_subcarpetas)
        .i32(codes.quitar_ubicacion)
        .i32(codes.conservar_fechas)
        .i32(codes.limite_kb)
        .u8(value.settings.keepDimensions ? 1 : 0);
}

MessageReader::MessageReader(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {
    if (bytes_.empty()) {
        ok_ = false;
        return;
    }
    kind_ = static_cast<MessageKind>(bytes_[0]);
    at_ = 1;
}

bool MessageReader::take(void* out, std::size_t size) {
    if (!ok_ || bytes_.size() - at_ < size) {
        ok_ = false;
        return false;
    }
    std::memcpy(out, bytes_.data() + at_, size);
    at_ += size;
    return true;
}

std::optional<std::uint8_t> MessageReader::u8() {
    std::uint8_t value = 0;
    if (!take(&value, sizeof value)) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> MessageReader::u32() {
    std::uint32_t value = 0;
    if (!take(&value, sizeof value)) return std::nullopt;
    return value;
}

std::optional<std::int32_t> MessageReader::i32() {
    std::int32_t value = 0;
    if (!take(&value, sizeof value)) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> MessageReader::u64() {
    std::uint64_t value = 0;
    if (!take(&value, sizeof value)) return std::nullopt;
    return value;
}

std::optional<std::string> MessageReader::text() {
    const auto length = u32();
    if (!length || bytes_.size() - at_ < *length) {
        ok_ = false;
        return std::nullopt;
    }
    std::string value(reinterpret_cast<const char*>(bytes_.data() + at_), *length);
    at_ += *length;
    return value;
}

std::optional<JobContext> MessageReader::context() {
    JobContext value;
    const auto folder = text();
    const auto mask = u32();
    const auto sizeLimit = u64();
    const auto timeLimit = u32();
    if (!folder || !mask || !sizeLimit || !timeLimit) return std::nullopt;
    value.workingDirectory = *folder;
    value.umask = *mask;
    value.fileSizeLimit = *sizeLimit;
    value.timeLimitMs = *timeLimit;
    return value;
}

std::optional<ConversionJob> MessageReader::job() {
    ConversionJob value;
    ConversionRequest& request = value.request;
    FormatOptions& codes = value.settings.codes;
    const auto source = text();
    const auto destination = text();
    const auto mode = u8();
    const auto sizes = std::array{i32(), i32(), i32()};
    const auto noEnlarge = u8();
    const auto fitWithin = u8();
    const auto numbers = std::array{i32(), i32(), i32(), i32(), i32(), i32(), i32(), i32(),
                                    i32(), i32(), i32(), i32(), i32(), i32(), i32(), i32()};
    const auto keepDimensions = u8();
    if (!source || !destination || !mode || !noEnlarge || !fitWithin || !keepDimensions ||
        *mode > 1 || *noEnlarge > 1 || *fitWithin > 1 || *keepDimensions > 1) {
        return std::nullopt;
    }
    for (const auto& size : sizes) {
        if (!size) return std::nullopt;
    }
    for (const auto& number : numbers) {
        if (!number) return std::nullopt;
    }
    request.source = *source;
    request.destination = *destination;
    request.mode = static_cast<SizingMode>(*mode);
    request.width = *sizes[0];
    request.height = *sizes[1];
    request.longestSide = *sizes[2];
    request.noEnlarge = *noEnlarge == 1;
    request.fitWithin = *fitWithin == 1;
    codes.filtro_redimension = *numbers[0];
    codes.jpeg = *numbers[1];
    codes.png = *numbers[2];
    codes.bmp = *numbers[3];
    codes.tga = *numbers[4];
    codes.tif = *numbers[5];
    codes.guardar_como = *numbers[6];
    codes.webp = *numbers[7];
    codes.webp_sin_perdida = *numbers[8];
    codes.decodificacion_rapida = *numbers[9];
    codes.no_ampliar = *numbers[10];
    codes.ajustar_dentro = *numbers[11];
    codes.incluir_subcarpetas = *numbers[12];
    codes.quitar_ubicacion = *numbers[13];
    codes.conservar_fechas = *numbers[14];
    codes.limite_kb = *numbers[15];
    value.settings.keepDimensions = *keepDimensions == 1;
    return value;
}

bool SendMessage(int fd, const MessageWriter& message) {
    const auto& bytes = message.bytes();
    if (bytes.size() > kMaxMessageBytes) return false;
    for (;;) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(bytes.size())) return true;
        if (sent < 0 && errno == EINTR) continue;
        return false;
    }
}

ReceiveStatus ReceiveMessage(int fd, std::vector<unsigned char>& bytes) {
    bytes.resize(kMaxMessageBytes);
    for (;;) {
        const ssize_t received = recv(fd, bytes.data(), bytes.size(), MSG_TRUNC);
        if (received < 0 && errno == EINTR) continue;
        // The other end went away with a message of ours still unread (a worker killed just
        // as a job was sent to it): the channel has ended as surely as when it closes.
        if (received < 0 && errno == ECONNRESET) return ReceiveStatus::Closed;
        if (received < 0) return ReceiveStatus::Failed;
        if (received == 0) return ReceiveStatus::Closed;
        // A datagram larger than any message is not one of ours.
        if (static_cast<std::size_t>(received) > bytes.size()) return ReceiveStatus::Failed;
        bytes.resize(static_cast<std::size_t>(received));
        return ReceiveStatus::Message;
    }
}

}  // namespace kavenra::worker
