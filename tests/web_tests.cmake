# The web version. Its page loop is plain C++ and is unit tested here on every build. With
# TREMBLO_WEB_SITE pointing at a built site (make test-web does that), also: the node runner
# against the native one, and the page in headless Chromium (label web).

include(${PROJECT_SOURCE_DIR}/view/pacing.cmake)
add_executable(tremblo_web_unit_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/test_main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/web/page_loop_test.cpp
  ${PROJECT_SOURCE_DIR}/web/page_loop.cpp
)
target_link_libraries(tremblo_web_unit_tests PRIVATE tremblo_pacing tremblo_run GTest::gtest)
gtest_discover_tests(tremblo_web_unit_tests TEST_PREFIX "web." DISCOVERY_TIMEOUT 60)

# The page's reader of run addresses against the native one, in node (no site, no browser).
find_program(NODE node)
if(NODE AND TARGET tremblo-sim)
  add_test(NAME web.link_readers
    COMMAND ${NODE} ${CMAKE_CURRENT_SOURCE_DIR}/web/link_readers_test.mjs $<TARGET_FILE:tremblo-sim>)
  set_tests_properties(web.link_readers PROPERTIES LABELS runner)
endif()

# The page's scripts reach the module only through module_api.js, which calls every export.
add_test(NAME web.module_interface
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/web/module_interface_test.sh ${PROJECT_SOURCE_DIR})

set(TREMBLO_WEB_SITE "" CACHE PATH "A built web site (make web) for the web tests; empty: none")
if(TREMBLO_WEB_SITE AND TARGET tremblo-sim)
  set(site ${TREMBLO_WEB_SITE})
  set(examples ${PROJECT_SOURCE_DIR}/examples)

  # Same bits in WebAssembly: every example's hash from node equals the native one, and so does
  # that of the pinned scripts beyond them (contact between cubes).
  add_test(NAME web.node_runner.hashes
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/web/node_runner_hashes.sh $<TARGET_FILE:tremblo-sim>
            ${site}/tremblo-sim.js ${examples} ${CMAKE_CURRENT_SOURCE_DIR}/determinism/scripts)
  set_tests_properties(web.node_runner.hashes PROPERTIES LABELS web TIMEOUT 600)

  # Same program: the runner's command-line tests, run against `node tremblo-sim.js`.
  set(node_sim ${CMAKE_CURRENT_BINARY_DIR}/tremblo-sim-node)
  file(CONFIGURE OUTPUT ${node_sim} CONTENT "#!/bin/sh\nexec node '${site}/tremblo-sim.js' \"$@\"\n")
  file(CHMOD ${node_sim} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
       WORLD_EXECUTE)
  foreach(case IN LISTS TREMBLO_RUNNER_CLI_CASES)
    add_test(NAME web.node_runner.cli.${case}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/runner/cli_test.sh ${node_sim} ${case} ${examples})
    set_tests_properties(web.node_runner.cli.${case} PROPERTIES LABELS web TIMEOUT 600)
  endforeach()

  # The page, served on 127.0.0.1, in headless Chromium.
  add_test(NAME web.page
    COMMAND node ${CMAKE_CURRENT_SOURCE_DIR}/web/page_test.mjs ${site})
  set_tests_properties(web.page PROPERTIES LABELS web TIMEOUT 900)

  # Runs recorded in the page, downloaded and shared, replayed natively and in a fresh page.
  add_test(NAME web.runs
    COMMAND node ${CMAKE_CURRENT_SOURCE_DIR}/web/run_test.mjs ${site} $<TARGET_FILE:tremblo-sim>)
  set_tests_properties(web.runs PROPERTIES LABELS web TIMEOUT 900)

  # The page on a phone with touch, on small and large desktop screens and at high DPI; the
  # view's controls, settings and scenes as commands of the run, capture, keyboard and
  # accessibility (axe-core).
  add_test(NAME web.screens
    COMMAND node ${CMAKE_CURRENT_SOURCE_DIR}/web/screens_test.mjs ${site} $<TARGET_FILE:tremblo-sim>)
  set_tests_properties(web.screens PROPERTIES LABELS web TIMEOUT 900)

  # The grab on a phone: a finger drags one block by a corner; the run replays natively and from
  # its shared address.
  add_test(NAME web.grab
    COMMAND node ${CMAKE_CURRENT_SOURCE_DIR}/web/grab_test.mjs ${site} $<TARGET_FILE:tremblo-sim>)
  set_tests_properties(web.grab PROPERTIES LABELS web TIMEOUT 600)

  # The timeline: scrubbed at random and taken over, the download replays natively; a shared
  # step shown the same in a fresh page and by tremblo-sim; links of days of work leave the page
  # answering within a second.
  add_test(NAME web.timeline
    COMMAND node ${CMAKE_CURRENT_SOURCE_DIR}/web/timeline_test.mjs ${site} $<TARGET_FILE:tremblo-sim>)
  set_tests_properties(web.timeline PROPERTIES LABELS web TIMEOUT 600)
endif()
