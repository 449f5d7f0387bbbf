# Every fuzz target also builds as a plain program that replays its seed corpus
# (fuzz/corpus/<name> for <name>_fuzz.cpp), so that each normal test run, the sanitizer and the
# Windows runs included, checks the corpus without the fuzzer's runtime. Included from
# tests/CMakeLists.txt after the wine settings.
include(${PROJECT_SOURCE_DIR}/fuzz/NeedsCli.cmake)
file(GLOB LKMDB7_FUZZ_REPLAY_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(source ${LKMDB7_FUZZ_REPLAY_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" corpus ${name})
    set(target ${name}_replay)
    lkmdb7_fuzz_needs_cli(${source} needs_cli)
    if(needs_cli AND NOT TARGET lkmdb_cli)
        continue()
    endif()
    add_executable(${target} ${source} ${PROJECT_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PRIVATE lkmdb7)
    if(needs_cli)
        target_link_libraries(${target} PRIVATE lkmdb_cli)
    endif()
    lkmdb7_set_warnings(${target})
    add_test(NAME fuzz_replay.${corpus}
             COMMAND ${target} ${PROJECT_SOURCE_DIR}/fuzz/corpus/${corpus})
    if(CMAKE_CROSSCOMPILING)
        set_tests_properties(fuzz_replay.${corpus} PROPERTIES
            FIXTURES_REQUIRED wine ENVIRONMENT "${LKMDB7_WINE_ENV}"
            FAIL_REGULAR_EXPRESSION "wine: Unhandled" RESOURCE_LOCK lkmdb7_database_mutex)
    endif()
endforeach()
