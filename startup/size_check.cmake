# Fails the build when FILE reaches LIMIT bytes.
file(SIZE ${FILE} size)
if(NOT size LESS ${LIMIT})
  file(REMOVE ${FILE})
  message(FATAL_ERROR "${FILE} is ${size} bytes; it must stay below ${LIMIT}")
endif()
