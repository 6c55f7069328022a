#pragma once

// The messages between the program and its image worker. Both ends are built together and talk
// over one SOCK_SEQPACKET socket pair, one message per datagram, so a message arrives whole or not
// at all even when its sender dies while sending. A message is a kind byte followed by its fields
// in the host's byte order: integers at their natural width, texts as a 32-bit length and bytes.
//
// The worker itself never reads an input file: it keeps a job process, forked from it, which
// serves the program's jobs one after the other on the same socket, and retires after a job that
// failed (its file may have left it damaged) or after many jobs, whereupon the worker forks the
// next. A conversion is two calls: an estimate, which reads the source's header and answers
// what the conversion would hold in memory, and, once the program has reserved that much of the
// memory all conversions share, the conversion itself, which carries the reservation as its
// bound. A call runs like this:
//   program -> job process  a job (detect, estimate or convert) with its serial number and the
//                           caller's file-writing context; a conversion carries its settings
//   job process -> program  for a conversion, the notice of each temporary file before it is
//                           created
//   job process -> program  the job's result, with its serial number, which ends the call; a
//                           conversion's output is then complete under its temporary name, and
//                           the program gives it its final name when the run reaches it
//   worker -> program       instead of the result when the job process died with the job in
//                           hand: the end of that job, with how the job process ended
// A message of an earlier job (a result or an end that crossed a death) is skipped by its serial
// number.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/ConversionJob.h"

namespace kavenra::worker {

// Raised whenever the messages change, so that a stale worker is refused at once.
constexpr std::uint32_t kProtocolVersion = 14;

// The worker finds its end of the socket pair here.
constexpr int kChannelDescriptor = 3;

// Larger than any message: paths are bounded by PATH_MAX.
constexpr std::size_t kMaxMessageBytes = 64 * 1024;

enum class MessageKind : std::uint8_t {
    // worker -> program
    Ready = 1,     // u32 protocol version
    JobEnded = 2,  // u32 serial, i32 wait status of the job process, u32 jobs it had finished
    // program -> job process
    DetectJob = 10,    // u32 serial, JobContext, text path
    ConvertJob = 11,   // u32 serial, JobContext, ConversionJob, u64 bytes of memory reserved
    EstimateJob = 12,  // u32 serial, JobContext, ConversionJob
    // job process -> program
    TemporaryFile = 21,   // text path of a temporary file the job is about to create
    DetectResult = 22,    // u32 serial, u32 ImageFormat's value
                          // (engine/formats/heif/HeifImage.h)
    ConvertResult = 23,   // u32 serial, then u8 0 (failed) and u8 FailureReason, or u8 1,
                          // PreparedOutput's three texts and u8 1 when over its size budget
    EstimateResult = 24,  // u32 serial, u8 1 and u64 bytes the conversion would hold, or u8 0
                          // when its source's header does not tell
};

// What decides where and how a job's files are written, taken from the caller at each call: a
// relative path means the same file in the worker as in the program, a new file gets the
// program's permission bits and a write beyond the program's file-size limit fails as it would
// in the program.
struct JobContext {
    std::string workingDirectory;
    std::uint32_t umask = 022;
    std::uint64_t fileSizeLimit = UINT64_MAX;  // bytes; UINT64_MAX: none
    std::uint32_t timeLimitMs = 0;             // the job's own wall-clock limit
};

// Builds one message.
class MessageWriter {
  public:
    explicit MessageWriter(MessageKind kind);
    MessageWriter& u8(std::uint8_t value);
    MessageWriter& u32(std::uint32_t value);
    MessageWriter& i32(std::int32_t value);
    MessageWriter& u64(std::uint64_t value);
    MessageWriter& text(const std::string& value);
    MessageWriter& context(const JobContext& value);
    MessageWriter& options(const ConversionOptions& value);
    MessageWriter& job(const ConversionJob& value);
    const std::vector<unsigned char>& bytes() const { return bytes_; }

  private:
    void append(const void* data, std::size_t size);
    std::vector<unsigned char> bytes_;
};

// Reads one message's fields in order; any read past the end or a text longer than what is left
// makes the reader fail, and every later read fails too.
class MessageReader {
  public:
    explicit MessageReader(std::vector<unsigned char> bytes);
    std::optional<MessageKind> kind() const { return kind_; }
    std::optional<std::uint8_t> u8();
    std::optional<std::uint32_t> u32();
    std::optional<std::int32_t> i32();
    std::optional<std::uint64_t> u64();
    std::optional<std::string> text();
    std::optional<JobContext> context();
    std::optional<ConversionOptions> options();
    std::optional<ConversionJob> job();
    // True when every field was read and nothing is left over.
    bool complete() const { return ok_ && at_ == bytes_.size(); }

  private:
    bool take(void* out, std::size_t size);
    std::vector<unsigned char> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
    std::optional<MessageKind> kind_;
};

// Sends one message; false when the other end is gone (no SIGPIPE is raised).
bool SendMessage(int fd, const MessageWriter& message);

enum class ReceiveStatus { Message, Closed, Failed };

// Receives one message, waiting as long as it takes; retries after interruptions. Closed also
// when the other end is gone with a message of ours unread (ECONNRESET).
ReceiveStatus ReceiveMessage(int fd, std::vector<unsigned char>& bytes);

}  // namespace kavenra::worker
