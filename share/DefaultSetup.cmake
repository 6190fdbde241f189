# Lays a ready default beside the program when none is there yet: a
# settings file for port 8080 with the game list on, and a games folder
# with the sample game, made afresh from share/sample. What the operator
# has changed is never overwritten.
#   cmake -DSOURCE=<share folder> -DTARGET=<program folder> -P DefaultSetup.cmake
# With -DWINE_DRIVE=Z: the folder is written as a program run by Wine sees
# it: that drive letter, then the path with backslashes.
if(NOT EXISTS "${TARGET}/games")
  find_program(PYTHON3 python3 REQUIRED)
  # Made in a scratch folder and moved in whole, so that a failed run
  # leaves no half-made games folder to be kept next time.
  file(REMOVE_RECURSE "${TARGET}/games.new")
  execute_process(COMMAND "${PYTHON3}" "${SOURCE}/sample/make_hello_game.py" "${TARGET}/games.new"
                  RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "The sample game could not be made (${made})")
  endif()
  file(RENAME "${TARGET}/games.new" "${TARGET}/games")
endif()
if(NOT EXISTS "${TARGET}/Tarnwick.ini")
  set(games "${TARGET}/games")
  if(WINE_DRIVE)
    string(REPLACE "/" "\\" games "${WINE_DRIVE}${games}")
  endif()
  file(WRITE "${TARGET}/Tarnwick.ini"
    "[Server Setting]\nLocalPort=8080\nGame List=1\nRepair Descriptors=1\n\n[Directory Setting]\nVirtual Directory=${games}\n")
endif()
