#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// Telnet (RFC 854) with the COM port option (RFC 2217), as its client speaks it, without any I/O:
// the bytes that carry data and each command to the server, and what the server's bytes are: data,
// answers to the COM port commands, and option negotiation, which is answered here. Data the
// server sent before it answered a purge of the received data was on its way before the purge and
// is dropped here, where the stream's order still tells it apart.
class TelnetComPort {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // The COM port commands the client sends; the server answers each with its number plus 100.
  enum Command : std::uint8_t {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kPurgeData = 12,
  };
  static constexpr std::uint8_t kNoFlowControl = 1;
  static constexpr std::uint8_t kDtrOn = 8;
  static constexpr std::uint8_t kDtrOff = 9;
  static constexpr std::uint8_t kRtsOn = 11;
  static constexpr std::uint8_t kRtsOff = 12;
  // PURGE-DATA: the server's buffer of data received from the line, the one of data to send to
  // it, or both (1 | 2).
  static constexpr std::uint8_t kPurgeReceived = 1;
  static constexpr std::uint8_t kPurgeToSend = 2;

  enum class Option { kAsked, kAccepted, kRefused };

  // The client's first words: it will speak the COM port option, and asks for binary data both
  // ways and no go-ahead signals.
  Bytes Opening();
  // Data for the line: every 0xFF doubled, so that the server does not take it for a command.
  static void AppendData(Bytes& out, const std::uint8_t* data, std::size_t count);
  // A COM port command with its value, big-endian in `size` bytes (4 for the baud rate, else 1).
  static void AppendCommand(Bytes& out, Command command, std::uint32_t value, std::size_t size);
  // Telnet's no-operation, which the server ignores.
  static void AppendNoOperation(Bytes& out);

  // Takes the server's bytes: data from the line goes to `data`, answers to its negotiation to
  // `reply`, which the caller sends.
  void Receive(const std::uint8_t* bytes, std::size_t count, Bytes& data, Bytes& reply);

  Option ComPortOption() const;
  // The server's last answer to the command since ForgetAnswers; for SET-CONTROL only an answer
  // about flow control counts.
  std::optional<std::uint32_t> Answer(Command command) const { return answers_[command]; }
  void ForgetAnswers() { answers_ = {}; }
  // A purge went out whose answer will come; with `received`, data before that answer is old.
  void AwaitPurgeAnswer(bool received);
  // Answers to purges seen since the start.
  std::size_t PurgeAnswers() const { return purgeAnswers_; }
  // True while data is dropped for a purge whose answer has not come.
  bool AwaitingPurgeAnswer() const { return !purgesAwaited_.empty(); }
  void StopAwaitingPurgeAnswers();

 private:
  enum class State { kData, kCommand, kOption, kSubnegotiation, kSubnegotiationCommand };
  enum OptionState : std::uint8_t { kNo, kWanted, kYes };

  void TakeData(std::uint8_t byte, Bytes& data) const;
  void Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& reply);
  void EndSubnegotiation();

  State state_ = State::kData;
  std::uint8_t verb_ = 0;
  Bytes subnegotiation_;
  std::array<OptionState, 256> ours_{};    // options this side performs (the server's DO)
  std::array<OptionState, 256> theirs_{};  // options the server performs (its WILL)
  std::array<std::optional<std::uint32_t>, kPurgeData + 1> answers_{};
  std::deque<bool> purgesAwaited_;  // in the order sent: whether each empties the received data
  std::size_t receivedPurgesAwaited_ = 0;
  std::size_t purgeAnswers_ = 0;
};
