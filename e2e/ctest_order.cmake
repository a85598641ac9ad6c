# How ctest schedules the end-to-end tests when scripts/test.sh runs several
# at once. Read by ctest after the discovered tests (TEST_INCLUDE_FILES in
# e2e/CMakeLists.txt).

# Tests that measure time or need the machine's cores idle: each runs by
# itself (RUN_SERIAL), never beside another test.
set(kivo_alone_tests
  # A condition of CPU use below 50 % for a minute: the cores must rest.
  CommandLine.CpuConditionWaitsForBusyCoresAndKeepsTheMachineAwakeUntilCancelled
  # The capture comes between 1.5 and 4.5 s after it is asked for.
  CaptureRegion.ADelayHoldsTheCaptureBack
  # The seconds shown are within one of the real ones.
  Timers.StopwatchCountsRealSeconds)
foreach(test ${kivo_alone_tests})
  set_tests_properties(${test} PROPERTIES RUN_SERIAL TRUE LABELS "e2e;alone")
endforeach()

# The longest ones (a minute of real time or many windows) start first, so
# that none of them is left running alone at the end (ctest learns the
# times of later runs by itself; a fresh build tree has none).
set(kivo_long_tests
  CommandLine.IdleMinuteBringsTheLastWarningAndASecondCopyHandsConditionsOver
  CommandLine.NoInputMinuteWaitsWhileTheMouseMoves
  Lock.PasswordLocksAndUnlocksAndLeavesNoTrace
  Ansi.Lock.PasswordLocksAndUnlocksAndLeavesNoTrace
  Dpi.EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows10At150
  Dpi.EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows10At125
  Dpi.EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows10At200
  Dpi.EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows98At150)
foreach(test ${kivo_long_tests})
  set_tests_properties(${test} PROPERTIES COST 1000)
endforeach()
