cmake_minimum_required(VERSION 3.25)
# Fails when a folder of src/ includes a header of a folder above it. The
# house reads top-down: message <- games <- service <- server <- window, with
# settings beside the engine, taking only the plain text rules of message.
#   cmake -DSOURCE=<project folder> -P CheckLayers.cmake
set(allowed_message message)
set(allowed_games message games)
set(allowed_service message games service)
set(allowed_server message games service server)
set(allowed_settings message settings)
set(allowed_window message games service server settings window)
set(layers message games service server settings window)

# Which folder each header lives in.
foreach(layer IN LISTS layers)
  file(GLOB headers RELATIVE "${SOURCE}/src/${layer}" "${SOURCE}/src/${layer}/*.h")
  foreach(header IN LISTS headers)
    set(home_${header} ${layer})
  endforeach()
endforeach()

set(faults "")
foreach(layer IN LISTS layers)
  file(GLOB sources "${SOURCE}/src/${layer}/*.h" "${SOURCE}/src/${layer}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      set(home "${home_${header}}")
      if(home AND NOT home IN_LIST allowed_${layer})
        file(RELATIVE_PATH shown "${SOURCE}" "${source}")
        string(APPEND faults "  ${shown} includes ${header} from src/${home}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "A folder includes one above it:\n${faults}")
endif()
