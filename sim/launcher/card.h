// The card the launcher's scripts put into the handheld's socket and take out again.
#pragma once

#include <string>

namespace sim {

class Card {
public:
    virtual ~Card() = default;
    // "" or why the card could not be inserted; `note` says what became of it (which driver
    // took it), for a person to read.
    virtual std::string Insert(std::string& note) = 0;
    // Taken out in order: its driver lets go first.
    virtual void Remove() = 0;
    // Pulled without warning, whatever is running.
    virtual void Pull() = 0;
    // Arms a pull after this many further register accesses of the card ("" or why not).
    virtual std::string PullAfterAccesses(unsigned accesses) {
        (void)accesses;
        return "this card has no pull switch";
    }
};

}  // namespace sim
