// The control identifiers of the window, by which tools outside the program find its controls.
#pragma once

namespace horalux::control_ids {

inline constexpr int kLabel1 = 101;
inline constexpr int kText2 = 102;
inline constexpr int kLabel2 = 103;
inline constexpr int kText1 = 104;
inline constexpr int kCommand1 = 105;

}  // namespace horalux::control_ids
