# End-to-end tests that measure time or need the machine's cores idle: ctest
# runs each of them by itself (RUN_SERIAL), never beside another test, when
# scripts/test.sh runs the others several at once. Read by ctest after the
# discovered tests (TEST_INCLUDE_FILES in e2e/CMakeLists.txt).
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
