// The working folder's parts that its tests drive on their own.
#pragma once

namespace kelvra::run::internal {

// Fills buffer with count letters from A-Z and a-z and a terminating zero; the
// generator is seeded with the current second on every call.
void makeRandomLetters(char* buffer, int count);

}  // namespace kelvra::run::internal
