# The test suite leaves the source tree as it found it: MODE=record notes `git status --porcelain`
# before the tests run, MODE=compare fails when it differs afterwards (a test or a program it started
# wrote into the tree, e.g. a pwd.ini into data/). Outside a git work tree there is nothing to compare.
find_program(GIT git)
if(NOT GIT)
    return()
endif()
execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} status --porcelain --untracked-files=all
                RESULT_VARIABLE rc OUTPUT_VARIABLE status ERROR_QUIET)
if(NOT rc EQUAL 0)
    return()
endif()
if(MODE STREQUAL "record")
    file(WRITE ${STATE_FILE} "${status}")
    return()
endif()
set(before "")
if(EXISTS ${STATE_FILE})
    file(READ ${STATE_FILE} before)
endif()
if(NOT status STREQUAL before)
    message(FATAL_ERROR "The tests changed the source tree.\nBefore:\n${before}\nAfter:\n${status}")
endif()
