#include "packages/upgrade_parameters.hpp"

UpgradeParameters upgrade_parameters{
    "QM", "IDX", "E", "US", "?", "?", "?",   "?", "?", "?", "?",
    "",   "?",   "?", "?",  "?", "Y", "B2B", "?", "?", "?",
};
