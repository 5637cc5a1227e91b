package corvid.probe;

// Whether java.lang is open to the class path (--add-opens), where this class
// was loaded from, and the module path the JVM was given.
public class Opens {
    public static void main(String[] args) {
        boolean open;
        try {
            String.class.getDeclaredField("value").setAccessible(true);
            open = true;
        } catch (ReflectiveOperationException | RuntimeException e) {
            open = false;
        }
        System.out.println("java.lang open: " + open);
        System.out.println("from " + Opens.class.getProtectionDomain().getCodeSource().getLocation().getPath());
        System.out.println("module path " + System.getProperty("jdk.module.path"));
    }
}
