# Exported dates are local times: pin the zone so the expected files hold.
set_property(TEST test_callhistoryexport APPEND PROPERTY ENVIRONMENT "TZ=UTC")
