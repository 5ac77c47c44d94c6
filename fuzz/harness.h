// What every harness provides besides LLVMFuzzerTestOneInput.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Seed inputs, generated in code: valid and nearly valid examples.
std::vector<std::string> kinetorFuzzSeeds();

// A scratch directory for harnesses that need files (created on first use).
const std::string& fuzzScratchDir();

// Quiet defaults for a harness: error boxes go nowhere.
void fuzzQuietErrors();
