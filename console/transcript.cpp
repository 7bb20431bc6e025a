#include "transcript.hpp"

void Transcript::update(const ScreenBuffer &screen, std::string &out) {
  std::string text;
  for (std::int16_t row = 0; row < screen.windowRows(); ++row) {
    std::string line;
    for (const Cell &cell : screen.row(static_cast<std::int16_t>(screen.windowTop() + row)))
      line += cell.glyph;
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + '\n';
  }
  text.erase(text.find_last_not_of('\n') + 1);
  if (!text.empty())
    text += '\n';
  text += "\f\n";
  if (text != last)
    out += last = text;
}
