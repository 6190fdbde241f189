cmake_minimum_required(VERSION 3.25)
# Fails when a folder of src/ includes a header of a folder above it. The
# house reads top-down: message <- games <- service <- server <- window, with
# settings beside the engine, taking only the plain text rules of message;
# console beside window, the program without one.
# The games layer has rooms of its own, read the same way: text <- formats
# <- records <- workers, with files beside formats.
#   cmake -DSOURCE=<project folder> -P CheckLayers.cmake
set(games_rooms games/text games/formats games/files games/records games/workers)
set(allowed_message message)
set(allowed_games/text message games/text)
set(allowed_games/formats message games/text games/formats)
set(allowed_games/files message games/text games/files)
set(allowed_games/records message games/text games/formats games/files games/records)
set(allowed_games/workers message ${games_rooms})
set(allowed_service message ${games_rooms} service)
set(allowed_server message ${games_rooms} service server)
set(allowed_settings message settings)
set(allowed_window message ${games_rooms} service server settings window)
set(allowed_console message ${games_rooms} service server settings console)
set(layers message ${games_rooms} service server settings window console)

# Which folder each header lives in.
foreach(layer IN LISTS layers)
  file(GLOB headers RELATIVE "${SOURCE}/src/${layer}" "${SOURCE}/src/${layer}/*.h")
  foreach(header IN LISTS headers)
    set(home_${header} ${layer})
  endforeach()
endforeach()

# Every source sits in a folder the house knows, so none escapes the check.
file(GLOB_RECURSE everything RELATIVE "${SOURCE}/src" "${SOURCE}/src/*.h" "${SOURCE}/src/*.cpp")
set(faults "")
foreach(source IN LISTS everything)
  get_filename_component(folder "${source}" DIRECTORY)
  if(NOT folder IN_LIST layers)
    string(APPEND faults "  src/${source} lies in src/${folder}, which is no layer or room\n")
  endif()
endforeach()

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
