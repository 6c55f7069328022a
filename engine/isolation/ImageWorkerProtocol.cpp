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

MessageWriter& MessageWriter::options(const ConversionOptions& value) {
    const auto flag = [](bool on) { return static_cast<std::uint8_t>(on ? 1 : 0); };
    u8(static_cast<std::uint8_t>(value.filter))
        .u8(static_cast<std::uint8_t>(value.saveAs))
        .i32(value.jpegQuality)
        .i32(value.pngLevel)
        .u8(flag(value.bmpRunLength))
        .u8(flag(value.targaRunLength))
        .u8(static_cast<std::uint8_t>(value.tiffCompression))
        .i32(value.webpQuality)
        .u8(flag(value.webpLossless))
        .u8(flag(value.fastDecoding))
        .u8(flag(value.keepDimensions))
        .u8(flag(value.noEnlarge))
        .u8(flag(value.fitWithin))
        .u8(flag(value.removeLocation))
        .u8(flag(value.sizeBudgetBytes.has_value()));
    return u64(value.sizeBudgetBytes.value_or(0));
}

MessageWriter& MessageWriter::job(const ConversionJob& value) {
    const ConversionRequest& request = value.request;
    return text(request.source)
        .text(request.destination)
        .u8(static_cast<std::uint8_t>(request.mode))
        .i32(request.width)
        .i32(request.height)
        .i32(request.longestSide)
        .options(value.options);
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

namespace {

// An enumeration's value read from its byte: empty beyond its last value.
template <typename Enum>
std::optional<Enum> EnumOf(const std::optional<std::uint8_t>& byte, Enum last) {
    if (!byte || *byte > static_cast<std::uint8_t>(last)) return std::nullopt;
    return static_cast<Enum>(*byte);
}

std::optional<bool> FlagOf(const std::optional<std::uint8_t>& byte) {
    if (!byte || *byte > 1) return std::nullopt;
    return *byte == 1;
}

}  // namespace

std::optional<ConversionOptions> MessageReader::options() {
    const auto filter = EnumOf(u8(), ResizeFilter::Lanczos3);
    const auto saveAs = EnumOf(u8(), OutputChoice::Tiff);
    const auto jpegQuality = i32();
    const auto pngLevel = i32();
    const auto bmpRunLength = FlagOf(u8());
    const auto targaRunLength = FlagOf(u8());
    const auto tiffCompression = EnumOf(u8(), TiffCompression::Jpeg);
    const auto webpQuality = i32();
    const auto flags = std::array{FlagOf(u8()), FlagOf(u8()), FlagOf(u8()),
                                  FlagOf(u8()), FlagOf(u8()), FlagOf(u8())};
    const auto hasBudget = FlagOf(u8());
    const auto budget = u64();
    if (!filter || !saveAs || !jpegQuality || !pngLevel || !bmpRunLength || !targaRunLength ||
        !tiffCompression || !webpQuality || !hasBudget || !budget) {
        return std::nullopt;
    }
    for (const auto& flag : flags) {
        if (!flag) return std::nullopt;
    }
    ConversionOptions value;
    value.filter = *filter;
    value.saveAs = *saveAs;
    value.jpegQuality = *jpegQuality;
    value.pngLevel = *pngLevel;
    value.bmpRunLength = *bmpRunLength;
    value.targaRunLength = *targaRunLength;
    value.tiffCompression = *tiffCompression;
    value.webpQuality = *webpQuality;
    value.webpLossless = *flags[0];
    value.fastDecoding = *flags[1];
    value.keepDimensions = *flags[2];
    value.noEnlarge = *flags[3];
    value.fitWithin = *flags[4];
    value.removeLocation = *flags[5];
    if (*hasBudget) value.sizeBudgetBytes = *budget;
    return value;
}

std::optional<ConversionJob> MessageReader::job() {
    ConversionJob value;
    ConversionRequest& request = value.request;
    const auto source = text();
    const auto destination = text();
    const auto mode = u8();
    const auto sizes = std::array{i32(), i32(), i32()};
    const auto options = this->options();
    if (!source || !destination || !mode || *mode > 1 || !options) return std::nullopt;
    for (const auto& size : sizes) {
        if (!size) return std::nullopt;
    }
    request.source = *source;
    request.destination = *destination;
    request.mode = static_cast<SizingMode>(*mode);
    request.width = *sizes[0];
    request.height = *sizes[1];
    request.longestSide = *sizes[2];
    value.options = *options;
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
