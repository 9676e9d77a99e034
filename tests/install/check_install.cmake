# Installs the build into PREFIX and starts from the installed data as the README tells a user to:
# copy share/glycomb into a working directory and run the example search there.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file bin/glycomb share/glycomb/NAMES.PS share/glycomb/EFFECTS.PS
             share/glycomb/EXAMPLE.TSK share/glycomb/CALC.STR share/glycomb/c13data/B-GAL.DAT
             share/doc/glycomb/README.md share/doc/glycomb/docs/report-example.png)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The manual page is gzipped where gzip was found at configuration.
file(GLOB manual_page "${PREFIX}/share/man/man1/glycomb.1" "${PREFIX}/share/man/man1/glycomb.1.gz")
if(NOT manual_page)
  message(FATAL_ERROR "not installed: the manual page share/man/man1/glycomb.1")
endif()

file(COPY "${PREFIX}/share/glycomb/" DESTINATION "${PREFIX}/work")
execute_process(COMMAND "${PREFIX}/bin/glycomb" EXAMPLE WORKING_DIRECTORY "${PREFIX}/work"
                INPUT_FILE /dev/null OUTPUT_VARIABLE output RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the example search failed (${status}):\n${output}")
endif()
foreach(line "The calculation result was written into EXAMPLE.RES"
             "The report was written into EXAMPLE.HTML"
             "The report data were written into EXAMPLE.JSON")
  string(FIND "${output}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing \"${line}\" in:\n${output}")
  endif()
endforeach()
foreach(file EXAMPLE.RES EXAMPLE.HTML EXAMPLE.JSON)
  if(NOT EXISTS "${PREFIX}/work/${file}")
    message(FATAL_ERROR "not written: ${file}")
  endif()
endforeach()
