#include "sim/HeadServer.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>

namespace sim {

namespace {

// A frame the tool started but never finished within this time is dropped, as a head's
// receive time-out would.
constexpr auto kFrameTimeout = std::chrono::milliseconds(300);

// To the nanosecond: a paced byte is due every 1.1 ms at 9600 baud, finer than poll()'s
// milliseconds.
std::optional<timespec> PollTimeout(HeadServer::Clock::time_point now,
                                    std::optional<HeadServer::Clock::time_point> at) {
  if (!at) return std::nullopt;
  const auto wait =
      std::clamp<HeadServer::Clock::duration>(*at - now, {}, std::chrono::seconds(60));
  const auto secs = std::chrono::floor<std::chrono::seconds>(wait);
  return timespec{static_cast<time_t>(secs.count()),
                  static_cast<long>(std::chrono::nanoseconds(wait - secs).count())};
}

}  // namespace

HeadServer::HeadServer(HeadEngine& engine, ServerOptions options)
    : engine_(engine), options_(std::move(options)) {}

HeadServer::~HeadServer() {
  RemoveLink();
}

HeadServer::Clock::duration HeadServer::ByteTime() const {
  if (options_.baud <= 0) return Clock::duration::zero();
  // Start bit, eight data bits, even parity, one or two stop bits.
  const int bits = 1 + 8 + 1 + options_.stopBits;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(static_cast<double>(bits) / options_.baud));
}

bool HeadServer::OpenLine(std::string& errorText) {
  line_.reset();
  line_ = PtyPair::Open(errorText);
  if (!line_) return false;
  if (options_.link && !PointLink(errorText)) return false;
  if (options_.announce) *options_.announce << line_->devicePath() << std::endl;
  if (options_.trace) options_.trace->Remark(Clock::now(), "line " + line_->devicePath());
  return true;
}

bool HeadServer::PointLink(std::string& errorText) {
  const std::filesystem::path& link = *options_.link;
  struct stat info {};
  if (::lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    errorText = link.string() + " exists and is not a symbolic link; not replacing it";
    return false;
  }
  // Made beside the link and renamed over it, so the link is never missing or half made.
  const std::string temporary = link.string() + ".new";
  ::unlink(temporary.c_str());
  if (::symlink(line_->devicePath().c_str(), temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), link.c_str()) != 0) {
    errorText = "cannot link " + link.string() + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

void HeadServer::RemoveLink() {
  if (!options_.link || !line_) return;
  char target[256];
  const ssize_t n = ::readlink(options_.link->c_str(), target, sizeof target - 1);
  if (n < 0) return;
  target[n] = '\0';
  if (line_->devicePath() == target) ::unlink(options_.link->c_str());
}

void HeadServer::Schedule(const Answer& answer, Clock::time_point now) {
  if (options_.trace) options_.trace->Bytes(now, "tool", answer.received);
  if (answer.bytes.empty() && !answer.hangUp) return;
  // The tool's bytes take their wire time to arrive; a busy head answers in turn.
  const Clock::time_point arrived =
      now + ByteTime() * static_cast<long>(answer.received.size()) + answer.delay;
  Segment segment;
  segment.start = std::max(arrived, queueEnd_);
  segment.bytes = answer.bytes;
  segment.hangUp = answer.hangUp;
  segment.downTime = answer.downTime;
  queueEnd_ = segment.start + ByteTime() * static_cast<long>(segment.bytes.size());
  queue_.push_back(std::move(segment));
}

void HeadServer::ReadInput(Clock::time_point now) {
  std::array<std::uint8_t, 512> buffer{};
  for (;;) {
    const ssize_t n = ::read(line_->master(), buffer.data(), buffer.size());
    if (n <= 0) return;
    lastInput_ = now;
    for (const Answer& answer :
         engine_.Receive(std::span(buffer.data(), static_cast<std::size_t>(n)))) {
      Schedule(answer, now);
    }
  }
}

bool HeadServer::SendDue(Clock::time_point now, std::string& errorText) {
  while (!queue_.empty() && queue_.front().start <= now) {
    Segment& segment = queue_.front();
    if (segment.hangUp) {
      if (options_.trace) options_.trace->Remark(now, "hang-up");
      RemoveLink();
      line_.reset();
      queue_.clear();
      lineBackAt_ = now + segment.downTime;
      engine_.DropPartial();
      return true;
    }
    if (!segment.traced && options_.trace) options_.trace->Bytes(now, "head", segment.bytes);
    segment.traced = true;
    // Unpaced, the whole answer goes at once; paced, a byte reaches the tool when its stop bit
    // has gone over the wire.
    std::size_t due = segment.bytes.size();
    if (ByteTime() > Clock::duration::zero()) {
      due = std::min<std::size_t>(segment.bytes.size(),
                                  static_cast<std::size_t>((now - segment.start) / ByteTime()));
    }
    while (segment.sent < due) {
      const ssize_t n =
          ::write(line_->master(), segment.bytes.data() + segment.sent, due - segment.sent);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        // Nobody is reading the tool's side and its buffer is full: the bytes fall off the line.
        if (!reportedOverflow_) std::cerr << "qzr71-headsim: tool side full, dropping bytes\n";
        reportedOverflow_ = true;
        segment.sent = due;
        break;
      }
      if (n < 0) {
        errorText = std::string("write: ") + std::strerror(errno);
        return false;
      }
      segment.sent += static_cast<std::size_t>(n);
    }
    if (segment.sent < segment.bytes.size()) return true;
    queue_.pop_front();
  }
  return true;
}

int HeadServer::Run(int stopFd, std::string& errorText) {
  if (!OpenLine(errorText)) return 1;
  for (;;) {
    const Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> wakeAt;
    if (lineBackAt_) {
      wakeAt = lineBackAt_;
    } else {
      if (!queue_.empty()) {
        const Segment& next = queue_.front();
        wakeAt = next.start + ByteTime() * static_cast<long>(next.sent + 1);
      }
      if (engine_.HasPartial()) {
        const auto giveUp = lastInput_ + kFrameTimeout;
        wakeAt = wakeAt ? std::min(*wakeAt, giveUp) : giveUp;
      }
    }
    std::array<pollfd, 3> fds{};
    fds[0] = {stopFd, POLLIN, 0};
    fds[1] = {line_ ? line_->master() : -1, POLLIN, 0};
    fds[2] = {line_ ? line_->closeWatch() : -1, POLLIN, 0};
    const std::optional<timespec> timeout = PollTimeout(now, wakeAt);
    const int ready = ::ppoll(fds.data(), fds.size(), timeout ? &*timeout : nullptr, nullptr);
    if (ready < 0 && errno != EINTR) {
      errorText = std::string("poll: ") + std::strerror(errno);
      return 1;
    }
    if (fds[0].revents) return 0;
    const Clock::time_point after = Clock::now();
    if (lineBackAt_) {
      if (after >= *lineBackAt_) {
        lineBackAt_.reset();
        if (!OpenLine(errorText)) return 1;
      }
      continue;
    }
    if (fds[2].revents & POLLIN) line_->AcknowledgeClose();
    if (fds[1].revents & POLLIN) ReadInput(after);
    if (engine_.HasPartial() && after - lastInput_ >= kFrameTimeout) {
      const std::vector<std::uint8_t> dropped = engine_.DropPartial();
      if (options_.trace) {
        options_.trace->Bytes(lastInput_, "tool", dropped);
        options_.trace->Remark(after, "incomplete frame dropped");
      }
    }
    if (!SendDue(Clock::now(), errorText)) return 1;
    if (queue_.empty() && options_.whenAnswered) options_.whenAnswered();
  }
}

}  // namespace sim
