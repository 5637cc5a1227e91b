package forms.lib;

/** Lives in a jar of its own, reached through the runnable jar's Class-Path. */
public class Helper {
    public static String greeting() {
        return "helper from " + Helper.class.getProtectionDomain().getCodeSource().getLocation().getPath()
                .replaceAll(".*/", "");
    }
}
