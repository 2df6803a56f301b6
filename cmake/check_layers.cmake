# Fails the build when a source includes a header of a layer above its own, when a window
# includes another window's folder, or when the engine or the media layer includes Qt.
#
#   cmake -DSOURCE_ROOT=<tree> -DSTAMP=<file> -P cmake/check_layers.cmake
#
# Each folder has a rank; a file may include headers of its own folder and of folders of a
# lower rank. Two folders of one rank never include each other.
# The longest folder that holds a file decides its rank. Tests, benchmarks and tools stand
# outside the layers and may include anything.
set(zenvira_layers
  "platform=0"
  "base=1"
  "media=2"
  "engine/request=3"
  "engine/policy=4"
  "engine/transfer=5"
  "engine/page_fetch=6"
  "engine/journal=6"
  "engine/ranges=7"
  "engine/fragments=7"
  "engine/stream=7"
  "engine=8"
  "components=9"
  "resolve=10"
  "convert=10"
  "player=10"
  "app=11"
  "ui=12"
  "queue=12"
  "app/window=13"
  "convert/window=13"
  "player/window=13"
  "queue/window=13"
  "app/gui=14"
  "app/cli=14"
  "encoder=14")
# Folders whose code never sees Qt: the engine runs under any front, as curl's lib/ does.
set(zenvira_without_qt engine media)

function(zenvira_layer_of path out_folder out_rank)
  set(best_folder "")
  set(best_rank -1)
  set(best_length -1)
  foreach(entry ${zenvira_layers})
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 folder)
    list(GET pair 1 rank)
    string(LENGTH "${folder}" length)
    string(FIND "${path}" "${folder}/" at)
    if(at EQUAL 0 AND length GREATER best_length)
      set(best_folder "${folder}")
      set(best_rank ${rank})
      set(best_length ${length})
    endif()
  endforeach()
  set(${out_folder} "${best_folder}" PARENT_SCOPE)
  set(${out_rank} ${best_rank} PARENT_SCOPE)
endfunction()

set(problems "")
set(checked 0)
file(GLOB_RECURSE sources RELATIVE "${SOURCE_ROOT}"
  "${SOURCE_ROOT}/platform/*.h" "${SOURCE_ROOT}/platform/*.cpp"
  "${SOURCE_ROOT}/base/*.h" "${SOURCE_ROOT}/base/*.cpp"
  "${SOURCE_ROOT}/media/*.h" "${SOURCE_ROOT}/media/*.cpp"
  "${SOURCE_ROOT}/engine/*.h" "${SOURCE_ROOT}/engine/*.cpp"
  "${SOURCE_ROOT}/components/*.h" "${SOURCE_ROOT}/components/*.cpp"
  "${SOURCE_ROOT}/resolve/*.h" "${SOURCE_ROOT}/resolve/*.cpp"
  "${SOURCE_ROOT}/convert/*.h" "${SOURCE_ROOT}/convert/*.cpp"
  "${SOURCE_ROOT}/player/*.h" "${SOURCE_ROOT}/player/*.cpp"
  "${SOURCE_ROOT}/app/*.h" "${SOURCE_ROOT}/app/*.cpp"
  "${SOURCE_ROOT}/ui/*.h" "${SOURCE_ROOT}/ui/*.cpp"
  "${SOURCE_ROOT}/queue/*.h" "${SOURCE_ROOT}/queue/*.cpp"
  "${SOURCE_ROOT}/encoder/*.h" "${SOURCE_ROOT}/encoder/*.cpp")
foreach(source ${sources})
  zenvira_layer_of("${source}" own_folder own_rank)
  if(own_rank LESS 0)
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  file(STRINGS "${SOURCE_ROOT}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  set(no_qt FALSE)
  foreach(folder ${zenvira_without_qt})
    string(FIND "${source}" "${folder}/" at)
    if(at EQUAL 0)
      set(no_qt TRUE)
    endif()
  endforeach()
  foreach(line ${lines})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header "${CMAKE_MATCH_1}")
      zenvira_layer_of("${header}" folder rank)
      if(rank LESS 0)
        continue()  # a header beside the file, or one of a library
      endif()
      if(NOT folder STREQUAL own_folder AND rank GREATER_EQUAL own_rank)
        list(APPEND problems "${source} (${own_folder}) includes ${header} (${folder}), which is not below it")
      endif()
    elseif(no_qt AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]+|Qt[A-Za-z]+/[A-Za-z]+)>")
      list(APPEND problems "${source} includes ${CMAKE_MATCH_1}: the engine and media layers do without Qt")
    endif()
  endforeach()
endforeach()

if(problems)
  list(LENGTH problems count)
  string(REPLACE ";" "\n  " listed "${problems}")
  message(FATAL_ERROR "${count} include(s) run against the layers (cmake/check_layers.cmake):\n  ${listed}")
endif()
if(STAMP)
  file(WRITE "${STAMP}" "${checked} files checked\n")
endif()
