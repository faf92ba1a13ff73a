#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CSerialPort;

// Sending the send box's text to the device, on the main window's thread, while the reader
// keeps receiving on the same port.

inline constexpr int SEND_PIECE_SIZE = 4096;

// Sends text in pieces of SEND_PIECE_SIZE bytes, text.size() / SEND_PIECE_SIZE + 1 of them, so
// that a multiple of the piece size ends with a write of 0 bytes. Each piece is copied into
// sendBuffer, zero-filled behind it, and its length set in sendLength before it is written.
// Stops at the first piece that fails and returns false; the pieces after it are not sent.
bool SendTextInPieces(CSerialPort &port, std::span<const char> text,
                      std::span<char, SEND_PIECE_SIZE> sendBuffer, std::int32_t &sendLength);

// The bytes that the send box's text (UTF-8) stands for: windows-31j, every line break as CR LF (a
// CR LF already there stays as it is). A character that windows-31j has not becomes "?".
std::string EncodeSendText(std::string_view text);

// The text (UTF-8) in windows-31j, each character it has not as "?"; each system's own encoder.
std::string EncodeWindows31j(std::string_view text);
