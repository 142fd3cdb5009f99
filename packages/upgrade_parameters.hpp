// The upgrade parameter list: the 21 texts that letter J hands to the upgrade library's
// SetParam, in this order. Created with their start values when the program starts and
// alive until it ends; each run of J overwrites the three answer positions, which keep
// the last answers given. The other texts never change.
#pragma once

#include <array>
#include <cstddef>
#include <string>

using UpgradeParameters = std::array<std::string, 21>;

extern UpgradeParameters upgrade_parameters;

// Indexes (from 0) of the texts that take the user's answers.
inline constexpr std::size_t cab_file_parameter = 11;
inline constexpr std::size_t software_version_parameter = 12;
inline constexpr std::size_t phone_model_parameter = 13;
