#include "reply.hpp"

#include "console/console.hpp"

#include <iostream>

Reply readReply(std::int16_t &value, const std::function<void()> &again) {
  while (blankLineNext())
    again();
  if (std::cin >> value)
    return Reply::number;
  if (std::cin.eof())
    return Reply::ended;
  std::cin.clear();
  refuseTypedLine();
  return Reply::refused;
}
