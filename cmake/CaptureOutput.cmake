# Runs a program and writes what it prints on standard output to a file, for build steps that
# need a program's output as a file without a shell's redirection:
#   cmake -DOUTPUT=FILE -P CaptureOutput.cmake PROGRAM [ARGUMENTS...]
# A program that fails fails the step and leaves no file behind.
set(command)
set(first 0)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
    if(first EQUAL 0 AND CMAKE_ARGV${i} STREQUAL "-P")
        math(EXPR first "${i} + 2")
    elseif(first GREATER 0 AND i GREATER_EQUAL first)
        list(APPEND command "${CMAKE_ARGV${i}}")
    endif()
endforeach()
if(NOT command OR NOT OUTPUT)
    message(FATAL_ERROR "usage: cmake -DOUTPUT=FILE -P CaptureOutput.cmake PROGRAM [ARGUMENTS...]")
endif()
execute_process(COMMAND ${command} OUTPUT_FILE "${OUTPUT}.part" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}.part")
    message(FATAL_ERROR "${command} failed: ${result}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
