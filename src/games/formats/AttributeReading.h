#pragma once

#include "AttributeList.h"

#include <cstddef>
#include <string>
#include <vector>

// Something in a descriptor or manifest that a phone would refuse or
// misread. `line` counts from 1; 0 means the file as a whole.
struct ReadProblem {
    std::size_t line = 0;
    std::string what;
    std::string fix;
    // Set for what a phone reads past, at worst misreading a value.
    std::string phoneReadsPast{};
};

// What a reader made of a file: the attributes it could take, and every
// problem met on the way. Reading goes on past a problem, so that one pass
// reports them all.
struct AttributeReading {
    AttributeList attributes;
    std::vector<ReadProblem> problems;
};
