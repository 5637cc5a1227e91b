package corvid.bench;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.StringWriter;
import java.math.BigDecimal;
import java.net.URI;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.text.DecimalFormat;
import java.text.MessageFormat;
import java.time.Duration;
import java.time.LocalDate;
import java.time.ZoneId;
import java.time.ZonedDateTime;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Properties;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.TimeUnit;
import java.util.logging.Level;
import java.util.logging.Logger;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import java.util.zip.GZIPInputStream;
import java.util.zip.GZIPOutputStream;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.transform.OutputKeys;
import javax.xml.transform.Transformer;
import javax.xml.transform.TransformerFactory;
import javax.xml.transform.dom.DOMSource;
import javax.xml.transform.stream.StreamResult;
import javax.xml.xpath.XPathConstants;
import javax.xml.xpath.XPathFactory;
import org.w3c.dom.Document;
import org.w3c.dom.Element;
import org.w3c.dom.NodeList;

/**
 * What a desktop application does while it starts: read its settings (XML
 * and properties), set up logging, parse and format dates and numbers, match
 * patterns, start a worker pool, compress a cache, and digest some data. It
 * loads well over 2,000 classes and then exits by itself, printing a digest
 * so the work cannot be skipped.
 */
public final class StartupWork {
    private static final Logger LOG = Logger.getLogger("corvid.bench");

    record Setting(String name, String value, int order) {}

    public static void main(String[] args) throws Exception {
        LOG.setLevel(Level.WARNING);
        LOG.info("starting");
        StringBuilder xml = new StringBuilder("<settings>");
        for (int i = 0; i < 200; i++) {
            xml.append("<setting name=\"key").append(i).append("\" order=\"").append(200 - i).append("\">value ")
                    .append(i * 7).append("</setting>");
        }
        xml.append("</settings>");
        Document document = DocumentBuilderFactory.newInstance().newDocumentBuilder()
                .parse(new ByteArrayInputStream(xml.toString().getBytes(StandardCharsets.UTF_8)));
        NodeList nodes = (NodeList) XPathFactory.newInstance().newXPath()
                .evaluate("/settings/setting[@order > 20]", document, XPathConstants.NODESET);
        List<Setting> settings = new ArrayList<>();
        for (int i = 0; i < nodes.getLength(); i++) {
            Element element = (Element) nodes.item(i);
            settings.add(new Setting(element.getAttribute("name"), element.getTextContent(),
                    Integer.parseInt(element.getAttribute("order"))));
        }
        settings.sort(Comparator.comparingInt(Setting::order).thenComparing(Setting::name));

        Transformer transformer = TransformerFactory.newInstance().newTransformer();
        transformer.setOutputProperty(OutputKeys.INDENT, "yes");
        StringWriter written = new StringWriter();
        transformer.transform(new DOMSource(document), new StreamResult(written));

        Properties properties = new Properties();
        settings.forEach(s -> properties.setProperty(s.name(), s.value()));
        Path file = Files.createTempFile("corvid-bench", ".properties");
        try (var out = Files.newOutputStream(file)) {
            properties.store(out, "bench");
        }
        Properties reread = new Properties();
        try (var in = Files.newInputStream(file)) {
            reread.load(in);
        }
        Files.delete(file);

        Pattern pattern = Pattern.compile("value (\\d+)");
        Map<Boolean, Long> parity = reread.values().stream().map(Object::toString).map(pattern::matcher)
                .filter(Matcher::matches).map(m -> Integer.parseInt(m.group(1)))
                .collect(Collectors.partitioningBy(n -> n % 2 == 0, Collectors.counting()));

        DateTimeFormatter formatter = DateTimeFormatter.ofPattern("EEEE d MMMM uuuu HH:mm", Locale.GERMANY);
        String when = ZonedDateTime.of(2024, 3, 1, 12, 0, 0, 0, ZoneId.of("Europe/Berlin")).format(formatter);
        LocalDate due = LocalDate.parse("2024-02-28").plusDays(2);
        String money = new DecimalFormat("#,##0.00").format(new BigDecimal("1234567.891"));
        String message = MessageFormat.format("{0} items on {1,date,long}", settings.size(), new java.util.Date(0));
        String formatted = String.format(Locale.ROOT, "%s|%s|%s|%08.3f|%s", when, due, money, Math.PI, message);

        ExecutorService pool = Executors.newFixedThreadPool(2);
        List<CompletableFuture<Integer>> futures = IntStream.range(0, 8)
                .mapToObj(i -> CompletableFuture.supplyAsync(() -> IntStream.rangeClosed(1, 1000 * (i + 1)).sum(), pool))
                .collect(Collectors.toList());
        int sum = futures.stream().mapToInt(CompletableFuture::join).sum();
        pool.shutdown();
        pool.awaitTermination(10, TimeUnit.SECONDS);

        ByteArrayOutputStream packed = new ByteArrayOutputStream();
        try (GZIPOutputStream gzip = new GZIPOutputStream(packed)) {
            gzip.write(written.toString().getBytes(StandardCharsets.UTF_8));
        }
        byte[] unpacked;
        try (GZIPInputStream gzip = new GZIPInputStream(new ByteArrayInputStream(packed.toByteArray()))) {
            unpacked = gzip.readAllBytes();
        }
        URI uri = URI.create("https://example.org/app/settings?user=ada&lang=de#top").resolve("../other");
        Duration uptime = Duration.ofMillis(System.nanoTime() / 1_000_000);

        // Sorting names, encrypting the cache and preparing the update client.
        java.text.Collator collator = java.text.Collator.getInstance(Locale.GERMANY);
        List<String> names = settings.stream().map(Setting::name).sorted(collator).collect(Collectors.toList());
        javax.crypto.KeyGenerator generator = javax.crypto.KeyGenerator.getInstance("AES");
        generator.init(128);
        javax.crypto.Cipher cipher = javax.crypto.Cipher.getInstance("AES/GCM/NoPadding");
        cipher.init(javax.crypto.Cipher.ENCRYPT_MODE, generator.generateKey());
        byte[] sealed = cipher.doFinal(packed.toByteArray());
        java.net.http.HttpClient client = java.net.http.HttpClient.newBuilder()
                .connectTimeout(Duration.ofSeconds(5)).followRedirects(java.net.http.HttpClient.Redirect.NORMAL).build();
        java.net.http.HttpRequest request = java.net.http.HttpRequest.newBuilder(uri).header("Accept", "text/xml").GET().build();

        MessageDigest digest = MessageDigest.getInstance("SHA-256");
        digest.update((names.get(0) + sealed.length + request.method() + client.version()).getBytes(StandardCharsets.UTF_8));
        digest.update(unpacked);
        digest.update(formatted.getBytes(StandardCharsets.UTF_8));
        digest.update((parity + "|" + sum + "|" + uri + "|" + uptime.isNegative()).getBytes(StandardCharsets.UTF_8));
        StringBuilder hex = new StringBuilder();
        for (byte b : digest.digest()) hex.append(String.format("%02x", b));
        System.out.println("startup work done: " + settings.size() + " settings, digest " + hex.substring(0, 16));
    }
}
