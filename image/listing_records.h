// The table records of an image that the model lists by their own layout:
// the heap (opcode 99), class records (154) and the native import table
// (156).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Appends the listing of the record at `at` (its line head already written)
// and returns the address after it, or `at` when it runs past the image.
// `handOn` takes the text of a long table as it grows (see model::ImageView).
uint64_t listTableRecord(const uint8_t* image, uint64_t size, uint64_t at, uint32_t opcode, std::string& out,
                         std::function<void(std::string&)> handOn);
