# cmake -DSOURCE=<file> -DTARGET=<file> -P copy_if_absent.cmake
# Copies SOURCE to TARGET unless TARGET exists: an existing template database
# holds the user's entries and is never replaced.
if(NOT EXISTS "${TARGET}")
  file(COPY_FILE "${SOURCE}" "${TARGET}")
  message(STATUS "Placed the demo template database at ${TARGET}")
endif()
