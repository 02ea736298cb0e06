// Whether the tests run as Windows programs under Wine, for the few cases where Wine's WinHTTP
// falls short of Windows'. One source per platform.
#pragma once

namespace horalux::testing {

bool RunningUnderWine();

}  // namespace horalux::testing
