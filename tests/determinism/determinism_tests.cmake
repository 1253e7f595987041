# The state hash at the end of every example script is pinned: any change of results shows.
# So is that of the scripts in scripts/.
if(TARGET tremblo-sim)
  set(pins ${CMAKE_CURRENT_LIST_DIR}/pinned_hashes.txt)
  set(check ${CMAKE_CURRENT_LIST_DIR}/check_pinned_hashes.sh)
  set(examples ${PROJECT_SOURCE_DIR}/examples)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pins})
  file(GLOB example_scripts RELATIVE ${examples} CONFIGURE_DEPENDS ${examples}/*.sim ${examples}/scenes/*.sim)

  add_test(NAME determinism.every_example_pinned
    COMMAND bash ${check} $<TARGET_FILE:tremblo-sim> ${examples} ${pins} --all-pinned)
  set_tests_properties(determinism.every_example_pinned PROPERTIES LABELS determinism TIMEOUT 60)
  foreach(name IN LISTS example_scripts)
    add_test(NAME determinism.pinned_hash.${name}
      COMMAND bash ${check} $<TARGET_FILE:tremblo-sim> ${examples} ${pins} ${name})
    set_tests_properties(determinism.pinned_hash.${name} PROPERTIES LABELS determinism TIMEOUT 600)
  endforeach()

  # Scripts beyond the examples (contact between cubes), pinned beside them.
  set(scripts ${CMAKE_CURRENT_LIST_DIR}/scripts)
  set(script_pins ${scripts}/pinned_hashes.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script_pins})
  file(GLOB pinned_scripts RELATIVE ${scripts} CONFIGURE_DEPENDS ${scripts}/*.sim)
  add_test(NAME determinism.every_script_pinned
    COMMAND bash ${check} $<TARGET_FILE:tremblo-sim> ${scripts} ${script_pins} --all-pinned)
  set_tests_properties(determinism.every_script_pinned PROPERTIES LABELS determinism TIMEOUT 60)
  foreach(name IN LISTS pinned_scripts)
    add_test(NAME determinism.pinned_hash.scripts/${name}
      COMMAND bash ${check} $<TARGET_FILE:tremblo-sim> ${scripts} ${script_pins} ${name})
    set_tests_properties(determinism.pinned_hash.scripts/${name} PROPERTIES LABELS determinism TIMEOUT 600)
  endforeach()
endif()
