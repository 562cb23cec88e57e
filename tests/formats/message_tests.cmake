# Message rendering and export tests: local time is UTC so that the dates in
# the expected files hold anywhere.
foreach(t test_message_render test_message_exports test_message_printer test_message_webview)
  if(TEST ${t})
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "TZ=UTC")
  endif()
endforeach()
if(TARGET test_message_webview)
  target_link_libraries(test_message_webview PRIVATE Qt6::WebEngineWidgets)
  set_tests_properties(test_message_webview PROPERTIES TIMEOUT 180)
endif()
