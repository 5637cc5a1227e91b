package corvid.bench;

import java.util.Map;

/** A command of the application; the build generates the handlers (generate_handlers.cmake). */
public interface Handler {
    String name();

    int handle(Map<String, Integer> context);
}
