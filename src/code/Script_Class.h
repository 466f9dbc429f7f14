// A script: a named piece of code stored in the game, compiled once after loading.
#pragma once

#include <memory>
#include <string>

#include "stream/Support_Stream.h"

namespace kelvane {

class CCode;

class CScript {
  public:
    std::string code;
    // The compiled code; absent until the game is prepared.
    std::shared_ptr<CCode> compiled;

    // Reads the record (version and text); false for a wrong version.
    bool read(CStream& s);
    void write(CStream& s) const;
};

} // namespace kelvane
