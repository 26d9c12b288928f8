"""End-to-end tests of the main window and the catalog screen: the real program against the dev site."""

import sys

import harness
from harness import (BACK, BETA, BETA_NOTE, CANCEL_SIGN_IN, CLOSE, INSTALL, OFFICIAL, PRODUCTS,
                     REOPEN_BROWSER, SIGN_IN, STATUS, USER_AGENT, VERSIONS, InstallerTestCase)
from support.product import sentence  # noqa: E402

CHOOSE_PRODUCT = sentence("choose_product")
CHOOSE_VERSION = sentence("choose_version")
UNREACHABLE = sentence("unreachable")
UNEXPECTED = sentence("unexpected_answer")

STUDIO_PRO_OFFICIAL = ["4.2.1 (latest)", "4.2.0", "4.1.3"]
THREE_PRODUCTS = ["Tarnwick Notes", "Studio Pro", "Sketch Lab"]


class MainWindow(InstallerTestCase):
    def test_one_window_with_its_twelve_controls_that_exits_with_0_on_close(self):
        driver = self.start("single-product.json")
        self.wait_status(CHOOSE_VERSION)

        shown = [w for w in driver.call("windows") if w["visible"]]
        self.assertEqual(shown, [{"class": "TarnwickInstaller", "title": "Tarnwick Installer", "visible": True}])
        self.assertEqual(driver.call("title"), "Tarnwick Installer")

        children = {c["id"]: c["class"] for c in driver.call("children")}
        self.assertEqual(sorted(children), list(range(101, 113)))
        self.assertEqual(children[STATUS], "Static")
        self.assertEqual(children[BETA_NOTE], "Static")
        self.assertEqual(children[PRODUCTS], "ListBox")
        self.assertEqual(children[VERSIONS], "ListBox")
        expected_texts = {
            BACK: "\u2039 All products",
            OFFICIAL: "Official",
            BETA: "Beta",
            BETA_NOTE: sentence("beta_sign_in_needed"),
            SIGN_IN: "Sign in for beta builds",
            REOPEN_BROWSER: "Open the browser again",
            CANCEL_SIGN_IN: "Cancel",
            INSTALL: "Install",
            CLOSE: "Close",
        }
        for control, text in expected_texts.items():
            self.assertEqual(children[control], "Button" if control != BETA_NOTE else "Static")
            self.assertEqual(driver.text(control), text, "control %d" % control)

        dpi = driver.call("dpi")["window"]
        self.assertEqual(driver.call("client-rect")["w"], 560 * dpi // 96)
        self.screenshot("window-single-product")

        self.assertEqual(self.close_window(), 0)


class ProductChoice(InstallerTestCase):
    def test_a_single_product_opens_at_once_on_its_versions(self):
        driver = self.start("single-product.json")
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), STUDIO_PRO_OFFICIAL)
        self.assertEqual(driver.cursel(VERSIONS), 0)
        self.assertTrue(driver.visible(VERSIONS))
        self.assertFalse(driver.visible(PRODUCTS))
        self.assertFalse(driver.visible(BACK), "one product needs no way back")
        self.assertTrue(driver.enabled(INSTALL))
        self.screenshot("catalog-single-product")

    def test_several_products_show_the_list_in_document_order_with_row_0_highlighted(self):
        driver = self.start("three-products.json")
        self.wait_status(CHOOSE_PRODUCT)
        self.assertEqual(driver.rows(PRODUCTS), THREE_PRODUCTS)
        self.assertEqual(driver.cursel(PRODUCTS), 0)
        self.assertTrue(driver.visible(PRODUCTS))
        self.assertFalse(driver.visible(VERSIONS))
        self.assertFalse(driver.visible(INSTALL))
        self.assertEqual(driver.call("focused"), PRODUCTS)
        self.screenshot("catalog-three-products")

    def test_ten_products_fill_a_list_of_six_rows(self):
        driver = self.start("ten-products.json")
        self.wait_status(CHOOSE_PRODUCT)
        self.assertEqual(len(driver.rows(PRODUCTS)), 10)
        dpi = driver.call("dpi")["window"]
        self.assertEqual(driver.rect(PRODUCTS)["h"], 6 * 48 * dpi // 96)
        self.screenshot("catalog-ten-products")

    def test_a_browser_duplicate_file_name_opens_the_product_it_names(self):
        driver = self.start("three-products.json", file_name="TarnwickInstaller-Studio Pro (1).exe")
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), STUDIO_PRO_OFFICIAL)
        self.assertTrue(driver.visible(BACK), "several products keep the way back to the list")
        self.screenshot("catalog-file-name-hint")

    def test_an_empty_catalog_has_nothing_to_install(self):
        driver = self.start("no-products.json")
        self.wait_status(sentence("nothing_to_install"))
        self.assertEqual(driver.rows(PRODUCTS), [])
        self.screenshot("catalog-no-products")


class VersionChoice(InstallerTestCase):
    def test_official_and_beta_buttons_switch_the_version_list(self):
        driver = self.start("three-products.json", file_name="TarnwickInstaller-sketch-lab.exe")
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), ["1.4.0 (latest)", "1.3.2"])
        self.assertTrue(driver.visible(BETA))

        driver.call("click", BETA)
        self.assertEqual(driver.rows(VERSIONS), ["1.5.0-rc.1 (latest)"])
        self.assertEqual(driver.cursel(VERSIONS), 0)
        self.assertEqual(driver.text(STATUS), CHOOSE_VERSION)
        self.screenshot("versions-beta-channel")

        driver.call("click", OFFICIAL)
        self.assertEqual(driver.rows(VERSIONS), ["1.4.0 (latest)", "1.3.2"])

    def test_a_product_with_only_betas_opens_on_the_beta_channel(self):
        driver = self.start("beta-only.json")
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), ["2.0.0-beta.3 (latest)", "2.0.0-beta.2"])
        self.assertTrue(driver.visible(BETA))
        self.screenshot("versions-beta-only")

    def test_the_version_list_keeps_its_height_across_channels(self):
        driver = self.start("one-official-eight-betas.json")
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), ["2.9.1 (latest)"])
        five_rows = 5 * 44 * driver.call("dpi")["window"] // 96
        self.assertEqual(driver.rect(VERSIONS)["h"], five_rows)

        driver.call("click", BETA)
        betas = driver.rows(VERSIONS)
        self.assertEqual(len(betas), 8)
        self.assertEqual(betas[0], "3.0.0-beta.8 (latest)")
        self.assertNotIn("(latest)", "".join(betas[1:]))
        self.assertEqual(driver.rect(VERSIONS)["h"], five_rows)
        self.screenshot("versions-eight-betas")


class Navigation(InstallerTestCase):
    def test_enter_on_the_product_list_opens_the_highlighted_product(self):
        driver = self.start("three-products.json")
        self.wait_status(CHOOSE_PRODUCT)
        self.assertEqual(driver.call("select", PRODUCTS, 2), 2)
        driver.call("key", PRODUCTS, "enter")
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), ["1.4.0 (latest)", "1.3.2"])

    def test_a_single_click_on_a_product_row_opens_it(self):
        driver = self.start("three-products.json")
        self.wait_status(CHOOSE_PRODUCT)
        driver.call("click-row", PRODUCTS, 1)
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), STUDIO_PRO_OFFICIAL)
        self.assertEqual(driver.call("focused"), VERSIONS)
        self.screenshot("navigation-product-opened")

    def test_the_back_button_returns_to_the_product_list(self):
        driver = self.start("three-products.json")
        self.wait_status(CHOOSE_PRODUCT)
        driver.call("click-row", PRODUCTS, 0)
        self.wait_status(CHOOSE_VERSION)
        self.assertTrue(driver.visible(BACK))

        driver.call("click", BACK)
        self.wait_status(CHOOSE_PRODUCT)
        self.assertTrue(driver.visible(PRODUCTS))
        self.assertFalse(driver.visible(VERSIONS))
        self.assertFalse(driver.visible(BACK))
        self.assertEqual(driver.rows(PRODUCTS), THREE_PRODUCTS)

    def test_escape_closes_the_window(self):
        driver = self.start("three-products.json")
        self.wait_status(CHOOSE_PRODUCT)
        driver.call("key", PRODUCTS, "esc")
        driver.wait_gone()
        self.assertEqual(self.program.wait(), 0)

    def test_the_close_button_closes_the_window(self):
        driver = self.start("single-product.json")
        self.wait_status(CHOOSE_VERSION)
        driver.call("click", CLOSE)
        driver.wait_gone()
        self.assertEqual(self.program.wait(), 0)


class LoadFailures(InstallerTestCase):
    def test_a_site_that_is_down_cannot_be_reached(self):
        driver = self.start(site=False)
        self.wait_status(UNREACHABLE, seconds=40)
        self.assertEqual(driver.rows(PRODUCTS), [])
        self.screenshot("failure-site-down")

    def test_a_503_is_an_unexpected_answer(self):
        driver = self.start(catalog_status=503)
        self.wait_status(UNEXPECTED)
        self.assertEqual(driver.rows(PRODUCTS), [])
        self.screenshot("failure-503")

    def test_a_401_without_a_pass_is_an_unexpected_answer(self):
        self.start(catalog_status=401)
        self.wait_status(UNEXPECTED)

    def test_a_200_with_a_broken_body_is_an_unexpected_answer(self):
        driver = self.start("broken-body.json")
        self.wait_status(UNEXPECTED)
        self.assertEqual(driver.rows(PRODUCTS), [])
        self.screenshot("failure-broken-body")


class OutOfDate(InstallerTestCase):
    def test_with_a_new_installer_install_becomes_get_the_new_installer(self):
        driver = self.start("out-of-date-with-installer.json")
        self.wait_status(sentence("out_of_date_offer"))
        self.assertEqual(driver.text(INSTALL), "Get the new Installer")
        self.assertTrue(driver.visible(INSTALL))
        self.assertTrue(driver.enabled(INSTALL))
        self.assertEqual(driver.call("focused"), INSTALL)
        self.assertEqual(driver.rows(PRODUCTS), [], "an out-of-date Installer offers no product")
        self.assertFalse(driver.visible(PRODUCTS))
        self.screenshot("out-of-date-with-installer")

    def test_without_a_new_installer_it_points_to_the_site_and_install_is_disabled(self):
        driver = self.start("out-of-date-without-installer.json")
        self.wait_status(sentence("out_of_date_download", host="localhost"))
        self.assertEqual(driver.text(INSTALL), "Install")
        self.assertFalse(driver.enabled(INSTALL))
        self.assertEqual(driver.rows(PRODUCTS), [])
        self.screenshot("out-of-date-without-installer")


class CatalogRequest(InstallerTestCase):
    def test_the_request_carries_the_user_agent_and_accept_and_no_pass(self):
        self.start("single-product.json")
        self.wait_status(CHOOSE_VERSION)
        catalog_requests = [r for r in self.site.requests() if r["path"].startswith("/api/installer/v1/catalog")]
        self.assertEqual(len(catalog_requests), 1)
        request = catalog_requests[0]
        self.assertEqual(request["method"], "GET")
        self.assertEqual(request["path"], "/api/installer/v1/catalog?platform=windows")
        names = [name.lower() for name, _ in request["headers"]]
        values = {name.lower(): value for name, value in request["headers"]}
        self.assertEqual(names.count("user-agent"), 1)
        self.assertEqual(names.count("accept"), 1)
        self.assertEqual(values["user-agent"], USER_AGENT)
        self.assertEqual(values["accept"], "application/json")
        self.assertLess(names.index("user-agent"), names.index("accept"))
        self.assertNotIn("authorization", names)


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
