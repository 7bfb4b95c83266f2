// Circuit labels of the MX4110_4120 and the labels composed from them.
//
// The meter keeps three circuit labels of 10 characters in the 15 registers
// from 457000, two characters per register, high byte first. In mode 13 the
// labels of per-phase quantities name their circuit: the label of a handle
// whose map entry is named "Current Phase A" on a device named "Feeder 7"
// reads "Current Phase Average@Feeder 7_M01", "M01" standing for a first
// circuit label that is not set.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace XLARX {

// The register that holds 0xFFC0 while no circuit label is set (the first
// of the third label), counted from 0.
inline constexpr size_t kLabelsUnsetRegister = 10;
inline constexpr uint16_t kLabelsUnsetMark = 0xFFC0;
// The mode in which labels are composed.
inline constexpr int16_t kComposedLabelMode = 13;

// The three labels in `registers` (15 words): each up to its first zero
// byte, blanks removed at both ends; all empty while the meter marks them
// unset. Fewer than 15 words give three empty labels.
std::array<std::string, 3> decodeCircuitLabels(std::span<const uint16_t> registers);

// True for the handles whose labels are composed in mode 13.
bool isComposedLabelHandle(uint32_t handle);
// The text after the last blank of `name` (the whole name without blank).
std::string_view lastWord(std::string_view name);
// True when `name` contains one of the quantity keys ("Current Phase", ...).
bool namesQuantity(std::string_view name);
// The quantity a composed label begins with: the label of the last quantity
// key, in ascending order, that `name` contains; `name` itself when none.
std::string composedQuantity(std::string_view name);

} // namespace XLARX
