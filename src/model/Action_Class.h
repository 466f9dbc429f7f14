// An action: one call of an action function with up to eight argument texts.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "stream/Support_Stream.h"

namespace kelvane {

class CCode;

class CAction {
  public:
    static constexpr int32_t max_function = 200;

    int32_t function = 0;
    int32_t applies_to = -1;
    bool relative = false;
    std::array<std::string, 8> arguments;
    // How many argument texts the record stored (the rest are empty).
    int32_t stored_arguments = 0;
    // Compiled argument codes; filled when the game is prepared.
    std::array<std::shared_ptr<CCode>, 8> codes;

    const std::string& argument_text(int32_t i) const;
    CCode* argument_code(int32_t i) const;
    bool read(CStream& s);
    void write(CStream& s) const;
};

} // namespace kelvane
