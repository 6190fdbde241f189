# Lays a ready default beside the program when none is there yet: a
# settings file for port 8080 and a sample games folder. What the operator
# has changed is never overwritten.
#   cmake -DSOURCE=<share folder> -DTARGET=<program folder> -P DefaultSetup.cmake
if(NOT EXISTS "${TARGET}/games")
  file(COPY "${SOURCE}/games" DESTINATION "${TARGET}")
endif()
if(NOT EXISTS "${TARGET}/Tarnwick.ini")
  file(WRITE "${TARGET}/Tarnwick.ini"
    "[Server Setting]\nLocalPort=8080\n\n[Directory Setting]\nVirtual Directory=${TARGET}/games\n")
endif()
