// The outcome of a wizard page: the value a page passes to EndDialog and its Run returns.
#ifndef KEPLA_UI_PAGE_RESULT_H_
#define KEPLA_UI_PAGE_RESULT_H_

// The codes 2 to 6 name the failed pre-flight check; they do not follow the order in which the
// Welcome page runs its checks.
enum PageResult {
  FinishClosed = 0,       // Finish: Close pressed
  WelcomeAccepted = 1,    // Welcome: Next pressed and every pre-flight check passed
  NotEnoughSpace = 2,     // Welcome: too little free space on the storage card
  BatteryLow = 3,         // Welcome: battery below the minimum charge
  LanguageMismatch = 4,   // Welcome: device language or region differs from the package's
  MemoryLoadHigh = 5,     // Welcome: memory load above the maximum
  WrongModel = 6,         // Welcome: device model differs from the package's
  DataPrepared = 7,       // Prepare: the image was written and verified
  PreparationFailed = 8,  // Prepare: the image could not be prepared
  Cancelled = 9,          // Welcome or Prepare: Cancel pressed
};

#endif  // KEPLA_UI_PAGE_RESULT_H_
