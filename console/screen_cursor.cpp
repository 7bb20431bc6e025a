#include "screen_cursor.hpp"

namespace {

constexpr std::int16_t tabWidth = 8;

void lineFeed(ScreenCursor &cursor) {
  cursor.column = 0;
  cursor.wrapPending = false;
  if (cursor.rows == 0 || cursor.row < cursor.rows - 1)
    ++cursor.row;
}

void printable(ScreenCursor &cursor) {
  if (cursor.wrapPending)
    lineFeed(cursor);
  if (cursor.columns != 0 && cursor.column >= cursor.columns - 1)
    cursor.wrapPending = true;
  else
    ++cursor.column;
}

bool isControl(unsigned char c) {
  return c < 0x20 || c == 0x7f;
}
// The bytes after the first of a UTF-8 character take no room of their own.
bool isContinuation(unsigned char c) {
  return (c & 0xc0) == 0x80;
}

} // namespace

void trackWritten(ScreenCursor &cursor, char c) {
  const auto byte = static_cast<unsigned char>(c);
  switch (c) {
  case '\n':
    lineFeed(cursor);
    return;
  case '\r':
    cursor.column = 0;
    cursor.wrapPending = false;
    return;
  case '\b':
    if (cursor.column > 0)
      --cursor.column;
    cursor.wrapPending = false;
    return;
  case '\t': {
    std::int16_t next = static_cast<std::int16_t>((cursor.column / tabWidth + 1) * tabWidth);
    if (cursor.columns != 0 && next > cursor.columns - 1)
      next = static_cast<std::int16_t>(cursor.columns - 1);
    cursor.column = next;
    cursor.wrapPending = false;
    return;
  }
  default:
    if (!isControl(byte) && !isContinuation(byte))
      printable(cursor);
  }
}

void trackEchoed(ScreenCursor &cursor, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (isControl(byte) && c != '\n' && c != '\t') {
    printable(cursor); // ^
    printable(cursor); // the letter
    return;
  }
  trackWritten(cursor, c);
}

void trackPlaced(ScreenCursor &cursor, std::int16_t column, std::int16_t row) {
  cursor.column = column;
  cursor.row = row;
  cursor.wrapPending = false;
}
